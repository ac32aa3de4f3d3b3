#include "settings_file.h"

#include "platform/err_object.h"
#include "platform/number_conversion.h"
#include "platform/program_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace settings {

namespace {

constexpr qint32 LoadErrorNumber = 1001;

struct ReadFailure {};

// Sequential reading of comma- or line-separated values; a value that starts with a double quote
// runs to the next double quote.
class ValueReader {
public:
    explicit ValueReader(QString text) : m_text(std::move(text)) {}

    qint32 readLong() {
        const auto value = platform::toLong(nextField());
        if (!value) throw ReadFailure{};
        return *value;
    }
    quint8 readByte() {
        const qint32 value = readLong();
        if (value < 0 || value > 255) throw ReadFailure{};
        return static_cast<quint8>(value);
    }
    QString readString() { return nextField(); }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar current() const { return m_text[m_pos]; }
    bool atLineEnd() const { return current() == QLatin1Char('\r') || current() == QLatin1Char('\n'); }

    QString nextField() {
        while (!atEnd() && (current() == QLatin1Char(' ') || current() == QLatin1Char('\t'))) ++m_pos;
        if (atEnd()) throw ReadFailure{};

        QString field;
        if (current() == QLatin1Char('"')) {
            const qsizetype closing = m_text.indexOf(QLatin1Char('"'), m_pos + 1);
            if (closing < 0) throw ReadFailure{};
            field = m_text.mid(m_pos + 1, closing - m_pos - 1);
            m_pos = closing + 1;
            while (!atEnd() && current() != QLatin1Char(',') && !atLineEnd()) ++m_pos;
        } else {
            const qsizetype start = m_pos;
            while (!atEnd() && current() != QLatin1Char(',') && !atLineEnd()) ++m_pos;
            field = m_text.mid(start, m_pos - start);
        }
        skipDelimiter();
        return field;
    }

    void skipDelimiter() {
        if (atEnd()) return;
        if (current() == QLatin1Char(',')) {
            ++m_pos;
            return;
        }
        if (current() == QLatin1Char('\r')) ++m_pos;
        if (!atEnd() && current() == QLatin1Char('\n')) ++m_pos;
    }

    QString m_text;
    qsizetype m_pos = 0;
};

[[noreturn]] void failLoading() {
    throw RuntimeError(LoadErrorNumber, QStringLiteral("Error while loading 'ParleonConfig.dat"));
}

} // namespace

QString configFolder(const QString& programFolder, bool programFolderWritable, const QString& userConfigFolder) {
    return programFolderWritable || userConfigFolder.isEmpty() ? programFolder : userConfigFolder;
}

QString configFilePath() {
    const QString programFolder = platform::programFolder();
    const QString folder = configFolder(programFolder, QFileInfo(programFolder).isWritable(),
                                        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    if (folder != programFolder) QDir().mkpath(folder);
    return QDir(folder).filePath(FileName);
}

bool configFileExists() { return QFileInfo(configFilePath()).isFile(); }

void readSettings(const QByteArray& content, const SettingsFields& into) {
    ValueReader reader(QString::fromLocal8Bit(content));
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
    const QByteArray content = file.readAll();
    file.close();
    readSettings(content, into);
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
    return text.toLocal8Bit();
}

void saveSettings(const SettingsValues& values) {
    QSaveFile file(configFilePath());
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(formatSettings(values));
    file.commit();
}

} // namespace settings
