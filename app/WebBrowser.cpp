#include "app/WebBrowser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

namespace {

constexpr int kQueryTimeoutMs = 5000;
constexpr char kWebLinkType[] = "x-scheme-handler/http";

// Browsers that open an address in a new window when given "--new-window",
// by the start of the name of their program file.
bool TakesNewWindow(const QString& program) {
  const QString name = QFileInfo(QFileInfo(program).canonicalFilePath()).fileName();
  for (const char* family :
       {"chromium", "google-chrome", "chrome", "firefox", "brave", "microsoft-edge", "vivaldi"}) {
    if (name.startsWith(QLatin1String(family))) return true;
  }
  return false;
}

// `command` with its program looked up, or nothing when it is missing.
std::optional<BrowserLaunch> Resolve(QStringList command, const QString& url) {
  if (command.isEmpty()) return std::nullopt;
  const QString program = QStandardPaths::findExecutable(command.takeFirst());
  if (program.isEmpty()) return std::nullopt;
  BrowserLaunch launch{program, command};
  const qsizetype at = launch.arguments.lastIndexOf(url);
  if (at >= 0 && TakesNewWindow(program) &&
      !launch.arguments.contains(QStringLiteral("--new-window"))) {
    launch.arguments.insert(at, QStringLiteral("--new-window"));
  }
  return launch;
}

std::optional<BrowserLaunch> FromEnvironment(const QString& url) {
  const QString variable = qEnvironmentVariable("BROWSER");
  for (const QString& entry : variable.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    QStringList command = entry.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (entry.contains(QLatin1String("%s"))) {
      for (QString& argument : command) argument.replace(QLatin1String("%s"), url);
    } else {
      command.append(url);
    }
    if (auto launch = Resolve(command, url)) return launch;
  }
  return std::nullopt;
}

// The desktop id ("chromium.desktop") of the desktop's handler of web links.
QString DefaultWebLinkHandler() {
  const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  if (xdgMime.isEmpty()) return {};
  QProcess query;
  query.setStandardErrorFile(QProcess::nullDevice());
  query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                        QString::fromLatin1(kWebLinkType)});
  if (!query.waitForFinished(kQueryTimeoutMs)) {
    query.kill();
    query.waitForFinished();
    return {};
  }
  if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) return {};
  return QString::fromLocal8Bit(query.readAllStandardOutput())
      .section(QLatin1Char('\n'), 0, 0)
      .section(QLatin1Char(';'), 0, 0)
      .trimmed();
}

// The folders that hold desktop entries, most important first.
QStringList ApplicationFolders() {
  QString home = qEnvironmentVariable("XDG_DATA_HOME");
  if (home.isEmpty()) home = QDir::homePath() + QStringLiteral("/.local/share");
  QString system = qEnvironmentVariable("XDG_DATA_DIRS");
  if (system.isEmpty()) system = QStringLiteral("/usr/local/share:/usr/share");
  QStringList folders;
  for (const QString& data :
       QStringList{home} + system.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    folders << data + QStringLiteral("/applications/");
  }
  return folders;
}

// The Name and Exec values of the desktop entry `id`, or empty ones.
std::pair<QString, QString> DesktopEntry(const QString& id) {
  QStringList names{id};
  if (id.contains(QLatin1Char('-')))
    names << QString(id).replace(id.indexOf(QLatin1Char('-')), 1, QLatin1Char('/'));
  for (const QString& folder : ApplicationFolders()) {
    for (const QString& name : names) {
      QFile file(folder + name);
      if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) continue;
      QString entryName, exec;
      bool inEntry = false;
      QTextStream in(&file);
      while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
          inEntry = line == QLatin1String("[Desktop Entry]");
        } else if (inEntry && line.startsWith(QLatin1String("Exec="))) {
          exec = line.mid(5);
        } else if (inEntry && line.startsWith(QLatin1String("Name="))) {
          entryName = line.mid(5);
        }
      }
      return {entryName, exec};
    }
  }
  return {};
}

std::optional<BrowserLaunch> FromDesktop(const QString& url) {
  const QString id = DefaultWebLinkHandler();
  if (id.isEmpty() || id.contains(QLatin1Char('/'))) return std::nullopt;
  const auto [name, exec] = DesktopEntry(id);
  if (exec.isEmpty()) return std::nullopt;
  return Resolve(ExpandDesktopExec(exec, url, name), url);
}

std::optional<BrowserLaunch> FromWellKnownNames(const QString& url) {
  for (const char* program : {"x-www-browser", "firefox", "chromium", "google-chrome"}) {
    if (auto launch = Resolve({QString::fromLatin1(program), url}, url)) return launch;
  }
  return std::nullopt;
}

}  // namespace

QStringList ExpandDesktopExec(const QString& exec, const QString& url, const QString& name) {
  // Split into arguments first: quotes group, backslashes escape in them.
  QStringList raw;
  QString current;
  bool inArgument = false, quoted = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    const QChar c = exec[i];
    if (quoted) {
      if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
        current += exec[++i];
      } else if (c == QLatin1Char('"')) {
        quoted = false;
      } else {
        current += c;
      }
    } else if (c == QLatin1Char('"')) {
      quoted = inArgument = true;
    } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
      if (inArgument) raw << current;
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) raw << current;

  QStringList arguments;
  bool urlPlaced = false;
  for (const QString& argument : raw) {
    if (argument.size() == 2 && argument[0] == QLatin1Char('%')) {
      switch (argument[1].toLatin1()) {
        case 'u':
        case 'U':
        case 'f':
        case 'F':
          if (!urlPlaced) arguments << url;
          urlPlaced = true;
          continue;
        case 'c':
          arguments << name;
          continue;
        case '%':
          arguments << QStringLiteral("%");
          continue;
        default:
          continue;  // %i %k and the deprecated codes
      }
    }
    arguments << QString(argument).replace(QLatin1String("%%"), QLatin1String("%"));
  }
  if (!urlPlaced) arguments << url;
  return arguments;
}

std::optional<BrowserLaunch> FindWebBrowser(const QString& url) {
  if (auto launch = FromEnvironment(url)) return launch;
  if (auto launch = FromDesktop(url)) return launch;
  return FromWellKnownNames(url);
}
