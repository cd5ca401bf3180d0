#include "Tambel/INI.h"

#include "platform/profile/profile.h"

namespace Tambel {

namespace {
// The read buffer of the profile-string read, terminating zero included.
constexpr std::size_t kBufferSize = 255;
} // namespace

QString GetIniString(const QString& section, const QString& key, const QString& file)
{
    const std::string value = kivo::profile::getString(section.toStdString(), key.toStdString(), "",
                                                       file.toStdString(), kBufferSize);
    return value.empty() ? QStringLiteral("N/A") : QString::fromStdString(value);
}

} // namespace Tambel
