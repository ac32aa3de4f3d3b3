#include "error_report.h"

#include "error_codes.h"

QString errorReportText(const QString& context, const ErrObject& pending) {
    return context + QStringLiteral("\r\nError Nr.: ") + QString::number(pending.number) +
           QStringLiteral("\r\nLast Dll Error: ") + QString::number(pending.lastDllError) + QStringLiteral("\r\n\r\n") +
           pending.description + QStringLiteral("\r\n\r\nHelp:\r\n") + getErrorText(pending.number);
}
