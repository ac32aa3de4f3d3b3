#include "encode_cache.h"

QByteArray EncodeCache::encode(const QString& text) {
    // The cached text holds on to its buffer, so the same address and size mean the same text.
    if (text.constData() != m_lastText.constData() || text.size() != m_lastText.size()) {
        m_lastText = text;
        m_lastBytes = text.toUtf8();
    }
    return m_lastBytes;
}
