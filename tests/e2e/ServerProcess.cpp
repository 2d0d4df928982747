// Starting and stopping the real server, and running the real client.
#include "ServerProcess.h"

#include "support/LogLines.h"

#include <signal.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>

namespace tembrel::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 30000;
constexpr int kProbeIntervalMs = 100;
constexpr int kStopTimeoutMs = 15000;

QString q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

QProcessEnvironment quietEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    return environment;
}

// Whether the server accepts connections. The probe is admitted as a user
// like any other, so it ends its side and waits until the server has dropped
// it: a test then starts with no user left over. (Merely closing it is not
// enough: the server accepts every connection already queued before it reads
// any, and could still count the probe while it admits a test's own burst of
// connections.)
bool probeAndLeave(int port) {
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    if (!probe.waitForConnected(kProbeIntervalMs)) {
        return false;
    }
    ::shutdown(static_cast<int>(probe.socketDescriptor()), SHUT_WR);
    return probe.state() == QAbstractSocket::UnconnectedState ||
           probe.waitForDisconnected(kStartTimeoutMs);
}

RemoteRun collect(QProcess& process, bool finished) {
    RemoteRun run;
    run.finished = finished && process.exitStatus() == QProcess::NormalExit;
    run.exitCode = run.finished ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

} // namespace

void ServerTest::SetUp() {
    ASSERT_TRUE(server_.ready()) << server_.log();
}

void ServerTest::TearDown() {
    if (HasFailure()) {
        std::cerr << "server log:\n" << server_.log();
    }
}

RemoteRun ServerTest::ok(const QStringList& arguments) {
    RemoteRun run = server_.remote(arguments);
    EXPECT_EQ(run.exitCode, 0) << arguments.join(' ').toStdString() << "\n" << run.err;
    return run;
}

std::filesystem::path demoLibrary() {
    return std::filesystem::path(TEMBREL_SOURCE_DIR) / "demo" / "music";
}

int freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        return 0;
    }
    return probe.serverPort();
}

ServerProcess::ServerProcess(const QStringList& extra)
    : process_(std::make_unique<QProcess>()), port_(freePort()) {
    std::filesystem::create_directories(uploadDir());
    arguments_ = QStringList{QStringLiteral("--headless"),
                             QStringLiteral("--audio"),
                             QStringLiteral("null"),
                             QStringLiteral("--port"),
                             QString::number(port_),
                             QStringLiteral("--location"),
                             q(demoLibrary()),
                             QStringLiteral("--settings"),
                             q(settingsFile()),
                             QStringLiteral("--upload-dir"),
                             q(uploadDir())};
    // Servers run in parallel: only a test that asks for the web remote gets one.
    if (!extra.contains(QStringLiteral("--web-port"))) {
        arguments_ += {QStringLiteral("--web"), QStringLiteral("off")};
    }
    arguments_ += extra;
    (void)start();
}

bool ServerProcess::start() {
    ready_ = false;
    process_->setProcessEnvironment(quietEnvironment());
    // A file, not a pipe: nobody drains a pipe while a test runs, and a full
    // one would stall the server.
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->setStandardOutputFile(q(dir_.path() / "server.log"), QIODevice::Append);
    process_->start(QStringLiteral(TEMBREL_SERVER_BINARY), arguments_);
    if (!process_->waitForStarted(kStartTimeoutMs)) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (Clock::now() < deadline && process_->state() == QProcess::Running) {
        if (probeAndLeave(port_)) {
            ready_ = true;
            return true;
        }
        QThread::msleep(kProbeIntervalMs);
    }
    return false;
}

bool ServerProcess::restart() {
    const bool stopped = stop();
    return start() && stopped;
}

ServerProcess::~ServerProcess() {
    if (process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(kStopTimeoutMs);
    }
}

bool ServerProcess::stop() {
    process_->terminate();
    return process_->waitForFinished(kStopTimeoutMs) &&
           process_->exitStatus() == QProcess::NormalExit;
}

bool ServerProcess::signal(int number) const {
    const qint64 pid = process_->processId();
    return pid > 0 && ::kill(static_cast<pid_t>(pid), number) == 0;
}

std::string ServerProcess::log() {
    std::ifstream in(dir_.path() / "server.log", std::ios::binary);
    return logMessages(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

RemoteRun ServerProcess::remote(const QStringList& arguments, int timeoutMs) const {
    QStringList all{QStringLiteral("--port"), QString::number(port_), QStringLiteral("--name"),
                    QStringLiteral("e2e")};
    all += arguments;
    return runRemote(all, timeoutMs);
}

RemoteRun runRemote(const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(quietEnvironment());
    process.start(QStringLiteral(TEMBREL_REMOTE_BINARY), arguments);
    const bool finished = process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    return collect(process, finished);
}

std::unique_ptr<QProcess> startRemote(const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(quietEnvironment());
    process->start(QStringLiteral(TEMBREL_REMOTE_BINARY), arguments);
    process->waitForStarted();
    return process;
}

RemoteRun finishRemote(QProcess& process, int timeoutMs) {
    process.terminate();
    const bool finished = process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    return collect(process, finished);
}

} // namespace tembrel::test
