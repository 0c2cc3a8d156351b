// quillfold-gui: the main window.

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "app/gui/chinese.h"
#include "app/gui/frmabout.h"
#include "app/gui/frmmain.h"
#include "app/server/process_sweep.h"

namespace {

int gSignalSocket[2] = {-1, -1};

void onTerminate(int) {
  char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(gSignalSocket[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv) {
  // Before anything starts a thread or a process: every process this program starts carries
  // the marker, so that the exit sweep finds exactly those.
  app::ownerMarker();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillfold"));
  QApplication::setWindowIcon(app::gui::quillfoldIcon());
  // Qt's own message boxes and file dialogs in Chinese (确定/取消), when the translation is
  // installed; without it they stay in English and everything else still works.
  app::gui::installQtChinese(application);

  app::gui::FrmMain window;

  // Ctrl+C or a termination request closes the window in order, so that the exit steps run
  // (last folders saved, the engine server and its helpers ended).
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalSocket) == 0) {
    auto* notifier = new QSocketNotifier(gSignalSocket[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
      char byte;
      [[maybe_unused]] ssize_t n = ::read(gSignalSocket[0], &byte, 1);
      window.closeWithoutAsking();
    });
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
  }

  window.show();
  return application.exec();
}
