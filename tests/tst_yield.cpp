// Yielding to the event loop: nested yields are bounded, so a storm of events cannot exhaust
// the stack, and nothing is lost beyond the bound.
#include "platform/yield.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

class YieldTest : public QObject {
    Q_OBJECT
private slots:
    void nestedYieldsStopAtTheBound() {
        struct Chain {
            int depth = 0, deepest = 0, handled = 0;
            bool stopped = false;
        };
        auto chain = std::make_shared<Chain>();
        // Every handled event posts another one and yields: without a bound this recurses forever.
        std::function<void()> handler = [chain, &handler] {
            if (chain->stopped) return;
            ++chain->handled;
            ++chain->depth;
            chain->deepest = std::max(chain->deepest, chain->depth);
            QTimer::singleShot(0, handler);
            platform::doEvents();
            --chain->depth;
        };
        QTimer::singleShot(0, handler);
        QTRY_VERIFY_WITH_TIMEOUT(chain->handled > 3 * platform::MaxYieldDepth, 10000);
        chain->stopped = true;
        QTest::qWait(20);
        QCOMPARE(chain->deepest, platform::MaxYieldDepth + 1);
        QVERIFY(platform::mayYield());
    }

    void aYieldProcessesWhatIsPending() {
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        QTest::qWait(1);
        platform::doEvents();
        QVERIFY(ran);
    }
};

QTEST_MAIN(YieldTest)
#include "tst_yield.moc"
