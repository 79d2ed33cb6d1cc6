#include "FirefoxRemote.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <QWebSocket>
#include <memory>

namespace {

constexpr int kTimeoutMs = 180000;

// One command at a time over the agent's socket, each answered before the
// next is sent.
class BidiSession {
 public:
  explicit BidiSession(QWebSocket& socket) : socket_(socket) {
    QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString& text) {
      const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
      if (message.value("id").toInt() == id_) {
        answer_ = message;
        loop_.quit();
      }
    });
    QObject::connect(&socket_, &QWebSocket::disconnected, &loop_, &QEventLoop::quit);
  }

  // The command's result; empty with `error` set when it failed.
  QJsonObject Call(const QString& method, const QJsonObject& params, std::string& error) {
    answer_ = {};
    QJsonObject command{{"id", ++id_}, {"method", method}, {"params", params}};
    socket_.sendTextMessage(
        QString::fromUtf8(QJsonDocument(command).toJson(QJsonDocument::Compact)));
    QTimer::singleShot(kTimeoutMs, &loop_, &QEventLoop::quit);
    loop_.exec();
    if (answer_.isEmpty()) {
      error = method.toStdString() + ": no answer from Firefox";
    } else if (answer_.value("type").toString() == "error") {
      error = method.toStdString() + ": " + answer_.value("message").toString().toStdString();
    }
    return error.empty() ? answer_.value("result").toObject() : QJsonObject();
  }

 private:
  QWebSocket& socket_;
  QEventLoop loop_;
  QJsonObject answer_;
  int id_ = 0;
};

}  // namespace

std::string FirefoxScaledScreenshot(const std::string& binary, const std::string& profile,
                                    const std::string& url, int width, int height, int scale,
                                    const std::string& pngPath) {
  // Qt's event loop needs an application object; a test has none.
  static int argc = 1;
  static char name[] = "browser_check";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);

  QProcess firefox;
  firefox.setProcessChannelMode(QProcess::SeparateChannels);
  firefox.start(QString::fromStdString(binary),
                {"--headless", "--no-remote", "--profile", QString::fromStdString(profile),
                 "--remote-debugging-port=0"});
  if (!firefox.waitForStarted(kTimeoutMs)) return "cannot start " + binary;
  // It says where it listens once it is ready.
  const QRegularExpression listening("WebDriver BiDi listening on (ws://\\S+)");
  QString said, address;
  QElapsedTimer clock;
  clock.start();
  while (address.isEmpty() && clock.elapsed() < kTimeoutMs &&
         firefox.state() == QProcess::Running) {
    firefox.waitForReadyRead(1000);
    said += QString::fromUtf8(firefox.readAllStandardError());
    const auto match = listening.match(said);
    if (match.hasMatch()) address = match.captured(1);
  }
  std::string error;
  if (address.isEmpty()) {
    error = "Firefox did not start its remote agent:\n" + said.toStdString();
  } else {
    QWebSocket socket;
    QEventLoop opened;
    QObject::connect(&socket, &QWebSocket::connected, &opened, &QEventLoop::quit);
    QObject::connect(&socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error),
                     &opened, &QEventLoop::quit);
    QTimer::singleShot(kTimeoutMs, &opened, &QEventLoop::quit);
    socket.open(QUrl(address + "/session"));
    opened.exec();
    if (socket.state() != QAbstractSocket::ConnectedState) {
      error = "cannot reach Firefox's remote agent at " + address.toStdString() + ": " +
              socket.errorString().toStdString();
    } else {
      BidiSession session(socket);
      session.Call("session.new", {{"capabilities", QJsonObject()}}, error);
      QString context;
      if (error.empty()) {
        const QJsonObject tree = session.Call("browsingContext.getTree", {}, error);
        context = tree.value("contexts").toArray().at(0).toObject().value("context").toString();
      }
      const QJsonObject viewport{{"width", width}, {"height", height}};
      if (error.empty()) {
        session.Call("browsingContext.setViewport",
                     {{"context", context}, {"viewport", viewport}, {"devicePixelRatio", scale}},
                     error);
      }
      if (error.empty()) {
        session.Call(
            "browsingContext.navigate",
            {{"context", context}, {"url", QString::fromStdString(url)}, {"wait", "complete"}},
            error);
      }
      // What the pages' scripts did at their load is drawn two frames later.
      if (error.empty()) {
        session.Call("script.evaluate",
                     {{"expression",
                       "new Promise(r => requestAnimationFrame(() => requestAnimationFrame(r)))"},
                      {"target", QJsonObject{{"context", context}}},
                      {"awaitPromise", true}},
                     error);
      }
      if (error.empty()) {
        const QJsonObject shot =
            session.Call("browsingContext.captureScreenshot",
                         {{"context", context}, {"origin", "viewport"}}, error);
        QFile png(QString::fromStdString(pngPath));
        if (error.empty() &&
            (!png.open(QIODevice::WriteOnly) ||
             png.write(QByteArray::fromBase64(shot.value("data").toString().toLatin1())) <= 0)) {
          error = "cannot write " + pngPath;
        }
      }
      std::string ignored;
      if (error.empty()) session.Call("browser.close", {}, ignored);
    }
  }
  if (!firefox.waitForFinished(5000)) {
    firefox.kill();
    firefox.waitForFinished(5000);
  }
  return error;
}
