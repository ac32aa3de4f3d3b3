#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A run-time failure with a number and a description, as a handler's error trap receives it.
class RuntimeError : public std::exception {
public:
    RuntimeError(qint32 number, QString description);
    qint32 number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_number;
    QString m_description;
    QByteArray m_what;
};

// The pending error record: filled in when a failure is caught (or a socket reports an error),
// read and cleared by the error report. One per program, like the runtime's own.
struct ErrObject {
    qint32 number = 0;
    QString description;
    qint32 lastDllError = 0; // the code the last failed system call left behind

    void set(qint32 n, const QString& text) {
        number = n;
        description = text;
    }
    void clear() {
        number = 0;
        description.clear();
        lastDllError = 0;
    }
};

ErrObject& Err();

// Run-time error numbers the program raises itself.
namespace RunTimeErrors {
inline constexpr qint32 InvalidProcedureCall = 5;
inline constexpr qint32 OutOfMemory = 7;
inline constexpr qint32 SubscriptOutOfRange = 9;
inline constexpr qint32 InternalError = 51;
inline constexpr qint32 ElementDoesNotExist = 340;
inline constexpr qint32 ElementAlreadyLoaded = 360;
inline constexpr qint32 CannotUnloadElementZero = 362;
inline constexpr qint32 InvalidPropertyValue = 380;
inline constexpr qint32 WrongSocketState = 40006;
} // namespace RunTimeErrors
