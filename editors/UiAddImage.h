#pragma once

#include "ImageOverlayInfo.h"
#include "MvDragDialog.h"

#include <memory>

class LiveProxy;

namespace Ui {
class UiAddImage;
}

// Changes a picture item's file and transparency. It edits the record only;
// the caller applies it to the item when the dialog closed with OK.
class UiAddImage : public MvDragDialog
{
    Q_OBJECT

public:
    explicit UiAddImage(QWidget *parent = nullptr);
    ~UiAddImage() override;

    // Loads the record; accepted reads false until OK.
    void SetImageInfo(const ImageOverlayInfo &info);
    void GetImageInfo(ImageOverlayInfo &info) const;

    // Slider position for an alpha and alpha for a slider position, both
    // truncated: 128 shows as 50, 50 gives 127.
    static int SliderFromAlpha(int alpha) { return alpha * 100 / 255; }
    static int AlphaFromSlider(int value) { return value * 255 / 100; }

    // The preview's whole edit of a picture item: reads its file and alpha,
    // runs the editor modally and, when it closed with OK, gives both to the
    // item. Answers whether it was accepted; an id below 1 opens nothing.
    static bool EditItem(LiveProxy *proxy, int itemId);

private slots:
    void on_pushButton_close_clicked();
    void on_pushButton_file_clicked();
    void on_horizontalSlider_valueChanged(int value);
    void on_pushButton_ok_clicked();
    void on_pushButton_cancel_clicked();

private:
    void InitControls();
    void ResetImageInfo();
    void ShowImageInfo();

    std::unique_ptr<Ui::UiAddImage> ui;
    ImageOverlayInfo m_info;
};
