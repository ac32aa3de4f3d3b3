#pragma once

#include "platform/err_object.h"

#include <QString>

// The text of the error report box: the context, the pending error's number, the last system
// error, its description and the help text for its number.
QString errorReportText(const QString& context, const ErrObject& pending);
