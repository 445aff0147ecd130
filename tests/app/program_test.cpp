// The built program: its command line, and on the virtual sound card it names its driver
// and ends cleanly, with exit code 0, when it gets a terminating signal.
#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/version.h"
#include "support/programs.h"

namespace {

QString programPath() { return QCoreApplication::applicationDirPath() + "/../src/tessaron"; }

struct Finished {
  int exitCode = -1;
  QString out, err;
};

// Runs the program with `args` where no display can be opened: the toolkit would end it
// if it tried.
Finished runWithoutDisplay(const QStringList& args) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
  environment.insert("QT_QPA_PLATFORM", "xcb");
  environment.insert("TESSARON_AUDIO", "virtual");
  program.setProcessEnvironment(environment);
  program.start(programPath(), args);
  Finished f;
  if (!program.waitForFinished(60000)) {
    program.kill();
    program.waitForFinished(5000);
    return f;
  }
  if (program.exitStatus() == QProcess::NormalExit) f.exitCode = program.exitCode();
  f.out = QString::fromLocal8Bit(program.readAllStandardOutput());
  f.err = QString::fromLocal8Bit(program.readAllStandardError());
  return f;
}

TEST(Program, ReadsOnlyHelpAndVersionFromItsCommandLine) {
  ASSERT_TRUE(QFileInfo(programPath()).isExecutable())
      << "build the tessaron target first: " << programPath().toStdString();
  // Help and version are answered before anything opens a display or a sound driver.
  const Finished help = runWithoutDisplay({"--help"});
  EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
  EXPECT_TRUE(help.out.startsWith("Usage: tessaron [--help | --version]\n")) << help.out.toStdString();
  for (const char* mentioned : {"--version", "TESSARON_AUDIO", "TESSARON_VIRTUAL_INPUT", "registry.json"})
    EXPECT_TRUE(help.out.contains(mentioned)) << mentioned;
  EXPECT_EQ(help.err, "");

  const Finished version = runWithoutDisplay({"--version"});
  EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
  EXPECT_EQ(version.out, QString("Tessaron %1\n").arg(TESSARON_VERSION_STRING));
  EXPECT_EQ(version.err, "");

  // Anything else, alone or beside a known option, and the toolkit's own options too, is
  // a usage error: the usage line on standard error, nothing on standard output, exit 2.
  for (const QStringList& args : {QStringList{"--verbose"}, QStringList{"recording.wav"}, QStringList{"-h"},
                                  QStringList{"--help", "--bogus"}, QStringList{"-platform", "offscreen"}}) {
    SCOPED_TRACE(args.join(' ').toStdString());
    const Finished wrong = runWithoutDisplay(args);
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.out, "");
    EXPECT_TRUE(wrong.err.contains("'" + args.back() + "'") || wrong.err.contains("'" + args.front() + "'"))
        << wrong.err.toStdString();
    EXPECT_TRUE(wrong.err.endsWith("Usage: tessaron [--help | --version]\n")) << wrong.err.toStdString();
  }
}

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
