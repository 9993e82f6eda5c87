#include "PrivateXServer.h"

#include "ScreenPictures.h"

#include <QElapsedTimer>
#include <QStandardPaths>

#include <cstdlib>

namespace mediax11 {

PrivateXServer::~PrivateXServer()
{
    stop();
    if (m_variableSet) {
        if (m_hadDisplay)
            qputenv("DISPLAY", m_savedDisplay);
        else
            qunsetenv("DISPLAY");
    }
}

bool PrivateXServer::start(const QSize &size, const QStringList &extraArgs, Reach reach, int timeoutMs)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) {
        m_error = QStringLiteral("Xvfb is not installed");
        return false;
    }
    // The server picks a free display and writes its number once it takes
    // connections.
    QStringList args = {QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-screen"),    QStringLiteral("0"),
                        QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                        QStringLiteral("-noreset")};
    if (reach == Reach::Tcp)
        args << QStringLiteral("-listen") << QStringLiteral("tcp");
    args << extraArgs;
    m_process.setReadChannel(QProcess::StandardOutput);
    m_process.start(program, args);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("Xvfb did not start: ") + m_process.errorString();
        return false;
    }
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    while (!out.contains('\n') && m_process.state() == QProcess::Running && timer.elapsed() < timeoutMs) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - timer.elapsed())));
        out += m_process.readAllStandardOutput();
    }
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!out.contains('\n') || !ok) {
        m_error = QStringLiteral("Xvfb gave no display: ") + QString::fromLocal8Bit(m_process.readAllStandardError());
        stop();
        return false;
    }
    m_display = (reach == Reach::Tcp ? QStringLiteral("127.0.0.1:%1") : QStringLiteral(":%1")).arg(number);

    m_painter = xcb_connect(m_display.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(m_painter)) {
        m_error = QStringLiteral("no connection to ") + m_display;
        stop();
        return false;
    }
    m_hadDisplay = qEnvironmentVariableIsSet("DISPLAY");
    m_savedDisplay = qgetenv("DISPLAY");
    m_variableSet = true;
    qputenv("DISPLAY", m_display.toLatin1());
    return true;
}

bool PrivateXServer::showQuadrants(const QRect &rect)
{
    if (!m_painter)
        return false;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_painter)).data;
    const int w = rect.width() / 2;
    const int h = rect.height() / 2;
    for (int q = 0; q < 4; ++q) {
        const QRect r(rect.x() + (q % 2) * w, rect.y() + (q / 2) * h, q % 2 ? rect.width() - w : w,
                      q / 2 ? rect.height() - h : h);
        // Depth 24 is 8 bits a channel, red highest.
        const uint32_t values[] = {kQuadrantColors[q].rgb() & 0xffffffu, 1};
        const xcb_window_t window = xcb_generate_id(m_painter);
        xcb_create_window(m_painter, XCB_COPY_FROM_PARENT, window, screen->root, int16_t(r.x()), int16_t(r.y()),
                          uint16_t(r.width()), uint16_t(r.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(m_painter, window);
    }
    // Once this is answered the windows are mapped and their backgrounds
    // drawn: the server does both before it reads on.
    free(xcb_get_input_focus_reply(m_painter, xcb_get_input_focus(m_painter), nullptr));
    return !xcb_connection_has_error(m_painter);
}

void PrivateXServer::stop()
{
    if (m_painter) {
        xcb_disconnect(m_painter);
        m_painter = nullptr;
    }
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

} // namespace mediax11
