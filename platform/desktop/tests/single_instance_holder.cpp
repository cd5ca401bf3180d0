// Takes the single-instance lock named by its argument, says whether it got it ("held" or
// "refused") and keeps it until its standard input closes.
#include "platform/desktop/single_instance.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    kivo::desktop::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    std::puts(instance.acquire() ? "held" : "refused");
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
    }
    return 0;
}
