#include "KivoSoft/model/LinkInUse.h"

namespace KivoSoft {

namespace {

bool guardTaken = false;
QString guardHolder;

} // namespace

LinkInUse::LinkInUse(const QString& holder)
{
    if (guardTaken) {
        return;
    }
    guardTaken = true;
    guardHolder = holder;
    m_held = true;
}

LinkInUse::~LinkInUse()
{
    release();
}

void LinkInUse::release()
{
    if (!m_held) {
        return;
    }
    m_held = false;
    guardTaken = false;
    guardHolder.clear();
}

bool LinkInUse::taken()
{
    return guardTaken;
}

QString LinkInUse::holder()
{
    return guardHolder;
}

} // namespace KivoSoft
