#pragma once

// What the preview overlay shows, handed from the threads that know it to the
// engine's video thread that paints it. The facade sets the selection and the
// preview mapping on the GUI thread; the engine reports its figures on its
// listener thread. Each change builds a new immutable PreviewOverlay; the
// painter takes the latest one and reads nothing else, so no engine thread
// reads the facade.

#include "PreviewMapping.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

class QPainter;

// One published state of the overlay; never changed once published.
struct PreviewOverlay
{
    // The selected item's frame in preview pixels; none while nothing is
    // selected or its placement is unknown.
    std::optional<QRect> frame;
    bool resizable = false; // the frame carries its eight handles
    QString figures;        // the performance line
    QImage figuresPicture;  // the line laid out, drawn at (12, 8)

    // Paints the line and the frame, in preview pixels.
    void paint(QPainter *painter) const;
};

class PreviewOverlayState
{
public:
    PreviewOverlayState();

    PreviewOverlayState(const PreviewOverlayState &) = delete;
    PreviewOverlayState &operator=(const PreviewOverlayState &) = delete;

    // The performance line for a quality index: 0 "普清", 1 "高清", 2 "超清",
    // any other none.
    static QString figuresLine(int cpu, int memory, int fps, int quality);

    // GUI thread: the selected item's placement on the canvas (none when
    // nothing is selected) and how the canvas maps onto the preview.
    void setSelection(const PreviewMapping &mapping, const std::optional<QRect> &canvasRect, bool resizable);
    void setQuality(int quality);
    // Any thread: the engine's figures.
    void setPerformance(int cpu, int memory);
    void setFps(int fps);

    // The latest state, never null; any thread, without waiting for a
    // publisher.
    std::shared_ptr<const PreviewOverlay> current() const;

private:
    // Builds and swaps in the state of the inputs; m_inputs held. The line
    // is laid out again only when it reads otherwise.
    void publishLocked();

    // Serialises the publishers (GUI and listener threads) over the inputs.
    std::mutex m_inputs;
    PreviewMapping m_mapping;
    std::optional<QRect> m_canvasRect;
    bool m_resizable = false;
    int m_cpu = 0;
    int m_memory = 0;
    int m_fps = 0;
    int m_quality = 0;
    // Held only to copy or swap the pointer: the painter never waits for a
    // line being laid out.
    mutable std::mutex m_published;
    std::shared_ptr<const PreviewOverlay> m_current;
};
