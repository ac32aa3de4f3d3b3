#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

// "ParleonConfig.dat": eight values, one per line, read once at start-up and written once at a
// normal close.
namespace settings {

inline const QString FileName = QStringLiteral("ParleonConfig.dat");

// Where the values go while the file is read. The reader fills the fields one by one, so a
// failure leaves what it had read so far; the address bytes change only after a complete read.
struct SettingsFields {
    qint32& parleonPort;
    qint32& maxClients;
    quint8& lastIP_Byte1;
    quint8& lastIP_Byte2;
    quint8& lastIP_Byte3;
    quint8& lastIP_Byte4;
    QString& nickName;
    qint32& connectTimeout;
};

struct SettingsValues {
    qint32 parleonPort;
    qint32 maxClients;
    quint8 lastIP_Byte1, lastIP_Byte2, lastIP_Byte3, lastIP_Byte4;
    QString nickName;
    qint32 connectTimeout;
};

// The folder the file is written to: the program's folder, or, where that folder cannot be
// written or belongs to the system (a program installed under /usr or /opt), the user's
// configuration folder for the program.
QString configFolder(const QString& programFolder, bool programFolderWritable, const QString& userConfigFolder);
// The file that is read: the one in that folder, or, while the user's folder has none yet, the
// one beside the program.
QString configFilePath();
bool configFileExists();

// Reads the eight values and no further; fails with run-time error 1001 when it cannot.
void readSettings(QIODevice& file, const SettingsFields& into);
void loadSettings(const SettingsFields& into);

QByteArray formatSettings(const SettingsValues& values);
// Writes the file; every failure is ignored.
void saveSettings(const SettingsValues& values);

} // namespace settings
