// The single-instance guard between real zorvane processes of one user: a
// second instance ends at once with status 0, and leaves the first alone.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "gui_test_support.h"

namespace zv::app::testing {

namespace {

constexpr int kProcessTimeoutMs = 20000;

// Whether process `pid` holds a flock() lock, as the kernel lists them.
bool HoldsFileLock(qint64 pid) {
  QFile locks(QStringLiteral("/proc/locks"));
  if (!locks.open(QIODevice::ReadOnly)) return false;
  const QByteArray wanted = QByteArray::number(pid);
  for (const QByteArray& line : locks.readAll().split('\n')) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() > 4 && fields[1] == "FLOCK" && fields[4] == wanted) return true;
  }
  return false;
}

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(runtimeFolder_.isValid()); }

  void secondInstanceEndsAtOnce() {
    auto first = Start();
    QTRY_VERIFY_WITH_TIMEOUT(HoldsFileLock(first->processId()), kProcessTimeoutMs);

    auto second = Start();
    QVERIFY(second->waitForFinished(kProcessTimeoutMs));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(second->readAllStandardOutput(), QByteArray());
    QCOMPARE(first->state(), QProcess::Running);

    Stop(*first);
    auto third = Start();  // the first has ended: a new instance runs
    QTRY_VERIFY_WITH_TIMEOUT(HoldsFileLock(third->processId()), kProcessTimeoutMs);
    QCOMPARE(third->state(), QProcess::Running);
    Stop(*third);
  }

 private:
  std::unique_ptr<QProcess> Start() {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder_.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(ZV_ZORVANE_EXE),
                   {QStringLiteral("--site"), QStringLiteral("http://127.0.0.1:1")});
    if (!process->waitForStarted(kProcessTimeoutMs)) qFatal("zorvane did not start");
    return process;
  }
  static void Stop(QProcess& process) {
    process.kill();
    process.waitForFinished(kProcessTimeoutMs);
  }

  QTemporaryDir runtimeFolder_;
};

ZV_GUI_TEST(SingleInstanceTest);

}  // namespace zv::app::testing

#include "single_instance_test.moc"
