#include "settings_file.h"

#include "platform/err_object.h"
#include "platform/number_conversion.h"
#include "platform/program_folder.h"
#include "platform/text_decoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace settings {

namespace {

constexpr qint32 LoadErrorNumber = 1001;

struct ReadFailure {};

// A value longer than this is no setting; the file is taken as unreadable.
constexpr qsizetype MaxValueBytes = 1024 * 1024;

// Sequential reading of comma- or line-separated values, straight from the file and only as far
// as the values go; a value that starts with a double quote runs to the next double quote.
class ValueReader {
public:
    explicit ValueReader(QIODevice& file) : m_file(file) { advance(); }

    qint32 readLong() {
        const auto value = platform::toLong(QString::fromLocal8Bit(nextField()));
        if (!value) throw ReadFailure{};
        return *value;
    }
    quint8 readByte() {
        const qint32 value = readLong();
        if (value < 0 || value > 255) throw ReadFailure{};
        return static_cast<quint8>(value);
    }
    QString readString() { return platform::decodeText(nextField()); }

private:
    void advance() { m_atEnd = !m_file.getChar(&m_current); }
    bool atLineEnd() const { return m_current == '\r' || m_current == '\n'; }
    void take(QByteArray& field) {
        if (field.size() >= MaxValueBytes) throw ReadFailure{};
        field += m_current;
        advance();
    }

    QByteArray nextField() {
        while (!m_atEnd && (m_current == ' ' || m_current == '\t')) advance();
        if (m_atEnd) throw ReadFailure{};

        QByteArray field;
        if (m_current == '"') {
            advance();
            while (!m_atEnd && m_current != '"') take(field);
            if (m_atEnd) throw ReadFailure{};
            advance();
            while (!m_atEnd && m_current != ',' && !atLineEnd()) advance();
        } else {
            while (!m_atEnd && m_current != ',' && !atLineEnd()) take(field);
        }
        skipDelimiter();
        return field;
    }

    void skipDelimiter() {
        if (m_atEnd) return;
        if (m_current == ',') {
            advance();
            return;
        }
        if (m_current == '\r') advance();
        if (!m_atEnd && m_current == '\n') advance();
    }

    QIODevice& m_file;
    char m_current = 0;
    bool m_atEnd = false;
};

[[noreturn]] void failLoading() {
    throw RuntimeError(LoadErrorNumber, QStringLiteral("Error while loading 'ParleonConfig.dat"));
}

} // namespace

namespace {
// A program installed for the whole system; its folder is written by the package manager only,
// even where root could write there.
bool isSystemFolder(const QString& folder) {
    for (const char* prefix : {"/usr", "/opt", "/bin", "/sbin"})
        if (folder == QLatin1String(prefix) || folder.startsWith(QLatin1String(prefix) + QLatin1Char('/'))) return true;
    return false;
}
} // namespace

QString configFolder(const QString& programFolder, bool programFolderWritable, const QString& userConfigFolder) {
    const bool besideProgram = programFolderWritable && !isSystemFolder(programFolder);
    return besideProgram || userConfigFolder.isEmpty() ? programFolder : userConfigFolder;
}

namespace {
// The user's own folder for the program's settings (~/.config/Parleon), whichever program runs.
QString userConfigFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Parleon");
}

QString writeFolder() {
    const QString programFolder = platform::programFolder();
    return configFolder(programFolder, QFileInfo(programFolder).isWritable(), userConfigFolder());
}
} // namespace

QString configFilePath() {
    const QString folder = writeFolder();
    const QString file = QDir(folder).filePath(FileName);
    // Until the user's folder has a file of its own, a file shipped beside the program is read.
    if (folder != platform::programFolder() && !QFileInfo(file).isFile())
        return QDir(platform::programFolder()).filePath(FileName);
    return file;
}

bool configFileExists() { return QFileInfo(configFilePath()).isFile(); }

void readSettings(QIODevice& file, const SettingsFields& into) {
    ValueReader reader(file);
    try {
        into.parleonPort = reader.readLong();
        into.maxClients = reader.readLong();
        const quint8 byte1 = reader.readByte();
        const quint8 byte2 = reader.readByte();
        const quint8 byte3 = reader.readByte();
        const quint8 byte4 = reader.readByte();
        into.nickName = reader.readString();
        into.connectTimeout = reader.readLong();
        into.lastIP_Byte1 = byte1;
        into.lastIP_Byte2 = byte2;
        into.lastIP_Byte3 = byte3;
        into.lastIP_Byte4 = byte4;
    } catch (const ReadFailure&) {
        failLoading();
    }
}

void loadSettings(const SettingsFields& into) {
    QFile file(configFilePath());
    if (!file.open(QIODevice::ReadOnly)) failLoading();
    readSettings(file, into);
}

QByteArray formatSettings(const SettingsValues& values) {
    QString text;
    const auto line = [&text](const QString& value) { text += value + QStringLiteral("\r\n"); };
    line(QString::number(values.parleonPort));
    line(QString::number(values.maxClients));
    line(QString::number(values.lastIP_Byte1));
    line(QString::number(values.lastIP_Byte2));
    line(QString::number(values.lastIP_Byte3));
    line(QString::number(values.lastIP_Byte4));
    line(QLatin1Char('"') + values.nickName + QLatin1Char('"'));
    line(QString::number(values.connectTimeout));
    return text.toUtf8();
}

void saveSettings(const SettingsValues& values) {
    const QString folder = writeFolder();
    if (folder != platform::programFolder()) QDir().mkpath(folder);
    QSaveFile file(QDir(folder).filePath(FileName));
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(formatSettings(values));
    file.commit();
}

} // namespace settings
