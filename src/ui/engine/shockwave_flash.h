#pragma once
// CShockwaveflash1: one Flash control. The only type the windows see.

#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>

#include "ui/engine/flash_engine.h"

class CShockwaveflash1 {
public:
    CShockwaveflash1() = default;
    ~CShockwaveflash1();
    CShockwaveflash1(const CShockwaveflash1&) = delete;
    CShockwaveflash1& operator=(const CShockwaveflash1&) = delete;

    // Creates the control window as a child of `parent` (or a top-level window
    // without one) covering `rect`. False when no control can be created.
    bool Create(QWidget* parent, int id, const QRect& rect,
                FlashProcess process = FlashProcess::Issue);
    // Starts the engine behind a control that Create() will make later, so that
    // the engine's own start-up overlaps other work. Nothing is shown.
    void Prepare(QWidget* parent);
    void Destroy();
    QWidget* Window() const { return m_window; }
    bool IsCreated() const { return m_window != nullptr; }
    int Id() const { return m_id; }

    void SetMovie(const QString& path);
    void Play();
    void HoldMovie(bool held);
    void Stop();
    QString CallFunction(const QString& xml);
    void SetReturnValue(const QString& xml);

    void SetEvents(FlashEngine::Events events);

    // Lays a still picture of what the movie last drew over the control for a
    // moment, taken from the engine. A window that maps shows it at once, where
    // the web view would take a frame or two to draw (blank meanwhile, about
    // 100 ms). `then` runs once it lies there (or none could be had), soon.
    void CoverWithPicture(std::function<void()> then);
    FlashEngine* Engine() const { return m_engine.get(); }

private:
    void Cover(const QPixmap& picture);

    std::unique_ptr<FlashEngine> m_engine;
    QWidget* m_window = nullptr;
    int m_id = 0;
};
