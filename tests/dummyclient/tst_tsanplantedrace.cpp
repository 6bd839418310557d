#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <thread>

// A data race planted on purpose, built only for the ThreadSanitizer run: a
// counter that a slot increments on the main thread, run there by queued
// calls from a second thread, which also increments it directly without any
// synchronisation. The run must report it although the suppressions for Qt's
// own meta-call machinery are in place, and the test passes only then.
class PlantedRace : public QObject
{
    Q_OBJECT

public:
    int counter = 0;
    std::atomic<int> slotCalls{0};

signals:
    void bump();

public slots:
    void onBump()
    {
        plantedUnguardedIncrement();
        ++slotCalls;
    }

public:
    Q_NEVER_INLINE void plantedUnguardedIncrement() { ++counter; }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    PlantedRace race;
    QObject::connect(&race, &PlantedRace::bump, &race, &PlantedRace::onBump, Qt::QueuedConnection);

    constexpr int rounds = 200;
    std::thread other([&race] {
        for (int i = 0; i < rounds; ++i) {
            emit race.bump();
            race.plantedUnguardedIncrement();
        }
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &application, [&race] {
        if (race.slotCalls == rounds)
            QCoreApplication::quit();
    });
    poll.start(5);
    QCoreApplication::exec();
    other.join();
    return 0;
}

#include "tst_tsanplantedrace.moc"
