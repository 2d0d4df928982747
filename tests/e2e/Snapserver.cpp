// Starting snapserver and snapclient for the multi-room tests, and asking
// snapserver for its streams' state.
#include "Snapserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>

#include <chrono>
#include <fstream>
#include <iterator>

#include "ServerProcess.h"

namespace tembrel::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartTimeoutMs = 15000;
constexpr int kStopTimeoutMs = 10000;
constexpr int kRpcTimeoutMs = 3000;
constexpr int kProbeIntervalMs = 100;

QString q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

QString option(const char* name, const QString& value) {
    return QStringLiteral("--%1=%2").arg(QLatin1String(name), value);
}

} // namespace

Snapserver::Snapserver(std::filesystem::path dir, std::filesystem::path pipe)
    : dir_(std::move(dir)), pipe_(std::move(pipe)), streamPort_(freePort()),
      controlPort_(freePort()) {
    // An empty configuration file: only the options below count, never the
    // machine's /etc/snapserver.conf.
    std::ofstream(dir_ / "snapserver.conf").flush();
}

Snapserver::~Snapserver() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(kStopTimeoutMs);
    }
}

std::optional<std::string> Snapserver::program() {
    const QString found = QStandardPaths::findExecutable(QStringLiteral("snapserver"));
    return found.isEmpty() ? std::nullopt : std::optional<std::string>(found.toStdString());
}

bool Snapserver::start() {
    const auto path = program();
    if (!path) {
        return false;
    }
    const QString loopback = QStringLiteral("127.0.0.1");
    const QStringList arguments{
        QStringLiteral("--config"),
        q(dir_ / "snapserver.conf"),
        option("server.datadir", q(dir_)),
        option("stream.source",
               QStringLiteral("pipe://%1?name=%2").arg(q(pipe_), QLatin1String(kStreamName))),
        option("stream.port", QString::number(streamPort_)),
        option("stream.bind_to_address", loopback),
        option("tcp.port", QString::number(controlPort_)),
        option("tcp.bind_to_address", loopback),
        option("http.enabled", QStringLiteral("false")),
        option("logging.sink", QStringLiteral("stdout"))};
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->setStandardOutputFile(q(dir_ / "snapserver.log"), QIODevice::Append);
    process_->start(QString::fromStdString(*path), arguments);
    if (!process_->waitForStarted(kStartTimeoutMs)) {
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (Clock::now() < deadline && process_->state() == QProcess::Running) {
        if (streamStatus()) {
            return true;
        }
        QThread::msleep(kProbeIntervalMs);
    }
    return false;
}

void Snapserver::stop() {
    if (process_) {
        process_->terminate();
        process_->waitForFinished(kStopTimeoutMs);
    }
}

std::optional<std::string> Snapserver::streamStatus() const {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(controlPort_));
    if (!socket.waitForConnected(kRpcTimeoutMs)) {
        return std::nullopt;
    }
    socket.write(R"({"id":1,"jsonrpc":"2.0","method":"Server.GetStatus"})"
                 "\r\n");
    // Newline-delimited JSON; notifications may come before the answer.
    const auto deadline = Clock::now() + std::chrono::milliseconds(kRpcTimeoutMs);
    while (Clock::now() < deadline) {
        if (!socket.canReadLine() && !socket.waitForReadyRead(kProbeIntervalMs)) {
            continue;
        }
        while (socket.canReadLine()) {
            const QJsonObject answer = QJsonDocument::fromJson(socket.readLine()).object();
            if (answer.value(QStringLiteral("id")).toInt() != 1) {
                continue;
            }
            const QJsonArray streams = answer[QStringLiteral("result")][QStringLiteral("server")]
                                             [QStringLiteral("streams")]
                                                 .toArray();
            for (const auto& stream : streams) {
                if (stream[QStringLiteral("id")].toString() == QLatin1String(kStreamName)) {
                    return stream[QStringLiteral("status")].toString().toStdString();
                }
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string Snapserver::log() const {
    std::ifstream in(dir_ / "snapserver.log", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Snapclient::Snapclient(const std::filesystem::path& output, int streamPort)
    : process_(std::make_unique<QProcess>()) {
    const QStringList arguments{
        QStringLiteral("--host"),    QStringLiteral("127.0.0.1"),
        QStringLiteral("--port"),    QString::number(streamPort),
        QStringLiteral("--hostID"),  QStringLiteral("tembrel-test"),
        QStringLiteral("--player"),  QStringLiteral("file:filename=%1").arg(q(output)),
        QStringLiteral("--logsink"), QStringLiteral("null")};
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    process_->start(QStringLiteral("snapclient"), arguments);
    process_->waitForStarted(kStartTimeoutMs);
}

Snapclient::~Snapclient() {
    process_->terminate();
    if (!process_->waitForFinished(kStopTimeoutMs)) {
        process_->kill();
        process_->waitForFinished(kStopTimeoutMs);
    }
}

bool Snapclient::canPlayToFile() {
    if (QStandardPaths::findExecutable(QStringLiteral("snapclient")).isEmpty()) {
        return false;
    }
    // "--player file:?" lists the file player's options when it has one.
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(QStringLiteral("snapclient"),
                {QStringLiteral("--player"), QStringLiteral("file:?")});
    if (!probe.waitForFinished(kStopTimeoutMs)) {
        probe.kill();
        probe.waitForFinished();
        return false;
    }
    return probe.readAll().contains("filename=");
}

bool Snapclient::running() const {
    return process_->state() == QProcess::Running;
}

} // namespace tembrel::test
