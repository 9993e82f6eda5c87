#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class LiveProxy;

namespace Ui {
class UiSetCaptureScreen;
}

// The "截取屏幕" page: adds a capture of one whole display, or of a region
// drawn over a frozen picture of a display, to the scene. It keeps no list
// of its own; it counts the capture items in the scene each time.
class UiSetCaptureScreen : public QWidget
{
    Q_OBJECT

public:
    explicit UiSetCaptureScreen(QWidget *parent = nullptr);
    ~UiSetCaptureScreen() override;

    void setLiveProxy(LiveProxy *proxy);

    // Region capture items now in the scene (the full-screen one not counted).
    int regionCaptureCount() const;

    static constexpr int kMaxRegionCaptures = 3;
    // How long a region capture waits for the hidden window to leave the
    // screen before it grabs anyway.
    static constexpr int kHideWaitMs = 200;

signals:
    void add_captureitem(QString strpicpath, QString strdesc, int id_item);

private slots:
    void on_fullscreencapturebtn_clicked();
    void on_manualscreencapturebtn_clicked();

private:
    // Runs the monitor picker; false when it was not confirmed.
    bool pickDisplay(int displays, int *display);
    // Hides the top-level window and waits, bounded, until it is off the
    // screen; restoreWindow() brings it back to the front.
    void hideWindowForGrab();
    void restoreWindow();
    // Runs the region picker over (x, y, w, h); an empty rectangle when
    // nothing was accepted.
    QRect pickRegion(int x, int y, int w, int h, bool placeOverArea);
    void showMessage(const QString &text);

    std::unique_ptr<Ui::UiSetCaptureScreen> ui;
    LiveProxy *m_proxy = nullptr;
    QString m_listPicture;
    bool m_hidden = false; // the top-level window was hidden for a grab
};
