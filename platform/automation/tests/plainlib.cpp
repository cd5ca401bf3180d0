// A shared library without the entry points of a server, for the activation failures.
extern "C" int kivoTestPlainLibrary()
{
    return 1;
}
