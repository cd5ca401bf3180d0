#include "platform/automation/hresult.h"

#include <cstdio>

namespace kivo::automation {

namespace {

struct Known {
    HRESULT hr;
    const char* name;
    const char* text;
};

constexpr Known kKnown[] = {
    {S_OK, "S_OK", "success"},
    {S_FALSE, "S_FALSE", "success, answer no"},
    {E_NOTIMPL, "E_NOTIMPL", "not implemented"},
    {E_NOINTERFACE, "E_NOINTERFACE", "no such interface"},
    {E_POINTER, "E_POINTER", "invalid pointer"},
    {E_FAIL, "E_FAIL", "unspecified failure"},
    {E_UNEXPECTED, "E_UNEXPECTED", "unexpected failure"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "out of memory"},
    {E_INVALIDARG, "E_INVALIDARG", "invalid argument"},
    {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION", "the class cannot be aggregated"},
    {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE",
     "the library does not provide this class"},
    {REGDB_E_READREGDB, "REGDB_E_READREGDB", "the registry cannot be read"},
    {REGDB_E_WRITEREGDB, "REGDB_E_WRITEREGDB", "the registry cannot be written"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG", "class not registered"},
    {CO_E_DLLNOTFOUND, "CO_E_DLLNOTFOUND", "the server library cannot be loaded"},
    {CO_E_ERRORINDLL, "CO_E_ERRORINDLL", "the server library lacks an entry point"},
    {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND", "member not found"},
    {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH", "type mismatch"},
    {DISP_E_UNKNOWNNAME, "DISP_E_UNKNOWNNAME", "unknown name"},
    {DISP_E_OVERFLOW, "DISP_E_OVERFLOW", "overflow"},
    {DISP_E_BADINDEX, "DISP_E_BADINDEX", "index out of range"},
    {DISP_E_ARRAYISLOCKED, "DISP_E_ARRAYISLOCKED", "the array is locked"},
    {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT", "wrong number of arguments"},
    {DISP_E_PARAMNOTOPTIONAL, "DISP_E_PARAMNOTOPTIONAL", "argument not optional"},
};

const Known* find(HRESULT hr)
{
    for (const Known& k : kKnown) {
        if (k.hr == hr) {
            return &k;
        }
    }
    return nullptr;
}

} // namespace

const char* hresultName(HRESULT hr)
{
    const Known* k = find(hr);
    return k ? k->name : "";
}

std::string describeHresult(HRESULT hr)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(hr));
    const Known* k = find(hr);
    if (!k) {
        return hex;
    }
    return std::string(k->name) + " (" + hex + "): " + k->text;
}

} // namespace kivo::automation
