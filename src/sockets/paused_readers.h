#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <map>
#include <utility>

// Readers held back for their senders' sake are looked at again now and then, not only when some
// of their senders' bytes leave: a sender whose messages wait at connections that no longer read
// would otherwise be held back for good. So are connections with a full queue, which are cut once
// they have taken nothing for long, though nothing more is sent to them.
class PausedReaders {
public:
    // Decides afresh whether the reader stays held back; true while it does.
    using LookAgain = std::function<bool()>;

    PausedReaders();

    // The element at index holds its reader back. lookAgain is called only while reader exists.
    void watch(int index, QObject& reader, LookAgain lookAgain);

private:
    void lookAgainAtAll();

    struct Reader {
        QPointer<QObject> element;
        LookAgain lookAgain;
    };
    // In the order of the elements' indexes, as they are looked at.
    std::map<std::pair<int, const QObject*>, Reader> m_readers;
    QTimer m_timer;
};
