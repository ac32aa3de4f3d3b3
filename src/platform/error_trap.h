#pragma once

#include "err_object.h"

#include <QString>
#include <new>

// Whoever shows a caught failure to the user.
class ErrorReporter {
public:
    virtual void errorHandler(const QString& text) = 0;

protected:
    ~ErrorReporter() = default;
};

// A handler's error trap: runs the body; a failure fills the pending error record and goes to the
// reporter with the context text, computed at that moment (it usually names the peer's current
// address). Returns false when the body failed.
template <typename Context, typename Body>
bool withErrorTrap(ErrorReporter& reporter, Context context, Body body) {
    try {
        body();
        return true;
    } catch (const RuntimeError& e) {
        Err().set(e.number(), e.description());
    } catch (const std::bad_alloc&) {
        Err().set(RunTimeErrors::OutOfMemory, QStringLiteral("Out of memory"));
    } catch (const std::exception&) {
        Err().set(RunTimeErrors::InternalError, QStringLiteral("Internal error"));
    }
    reporter.errorHandler(context());
    return false;
}
