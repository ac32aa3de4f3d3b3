// The settings reader on arbitrary files: it loads, or fails with error 1001 (which start-up
// turns into the safe defaults); it never crashes or hangs. What it loads, it writes back the same.
#include "platform/err_object.h"
#include "settings/settings_file.h"

#include <QBuffer>
#include <cstdlib>

namespace {
void readFrom(const QByteArray& content, const settings::SettingsFields& into) {
    QBuffer file;
    file.setData(content);
    file.open(QIODevice::ReadOnly);
    settings::readSettings(file, into);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    settings::SettingsValues read{};
    const settings::SettingsFields into{read.parleonPort,  read.maxClients,   read.lastIP_Byte1,
                                        read.lastIP_Byte2, read.lastIP_Byte3, read.lastIP_Byte4,
                                        read.nickName,     read.connectTimeout};
    try {
        readFrom(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), into);
    } catch (const RuntimeError& e) {
        if (e.number() != 1001) std::abort();
        return 0;
    }
    // A nick name without quotes or line breaks survives a save and a load unchanged.
    if (read.nickName.contains(QLatin1Char('"'))) return 0;
    settings::SettingsValues again{};
    readFrom(settings::formatSettings(read),
                           {again.parleonPort, again.maxClients, again.lastIP_Byte1, again.lastIP_Byte2,
                            again.lastIP_Byte3, again.lastIP_Byte4, again.nickName, again.connectTimeout});
    if (again.parleonPort != read.parleonPort || again.maxClients != read.maxClients ||
        again.connectTimeout != read.connectTimeout || again.lastIP_Byte4 != read.lastIP_Byte4 ||
        again.nickName != read.nickName)
        std::abort();
    return 0;
}
