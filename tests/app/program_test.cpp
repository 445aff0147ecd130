// The built program on the virtual sound card: it names its driver and ends cleanly,
// with exit code 0, when it gets a terminating signal.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "support/programs.h"

namespace {

QString programPath() { return QCoreApplication::applicationDirPath() + "/../src/tessaron"; }

TEST(Program, NamesItsDriverAndExitsCleanlyOnEachTerminatingSignal) {
  // A program built for the thread checker carries Qt's uninstrumented painting threads,
  // whose reports change its exit code.
  if (testsupport::kThreadChecked) GTEST_SKIP() << "the program's exit code is the thread checker's";
  ASSERT_TRUE(QFileInfo(programPath()).isExecutable())
      << "build the tessaron target first: " << programPath().toStdString();
  QTemporaryDir config;
  ASSERT_TRUE(config.isValid());

  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signalNumber);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("TESSARON_AUDIO", "virtual");
    environment.insert("XDG_CONFIG_HOME", config.path());
    program.setProcessEnvironment(environment);
    program.start(programPath(), {});
    ASSERT_TRUE(program.waitForStarted(30000));

    // The driver line comes once the program watches for signals.
    QByteArray errors;
    const QDeadlineTimer deadline(60000);
    while (!errors.contains('\n') && program.state() == QProcess::Running && !deadline.hasExpired()) {
      program.waitForReadyRead(1000);
      errors += program.readAllStandardError();
    }
    EXPECT_TRUE(errors.contains("sound driver \"virtual\"")) << errors.toStdString();

    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signalNumber), 0);
    ASSERT_TRUE(program.waitForFinished(60000)) << "still running after the signal";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << (errors + program.readAllStandardError()).toStdString();
  }
}

}  // namespace
