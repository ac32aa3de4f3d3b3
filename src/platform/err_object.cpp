#include "err_object.h"

RuntimeError::RuntimeError(qint32 number, QString description)
    : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8()) {}

ErrObject& Err() {
    static ErrObject record;
    return record;
}
