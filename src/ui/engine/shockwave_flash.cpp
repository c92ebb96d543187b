#include "ui/engine/shockwave_flash.h"

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <utility>

#include "core/platform/timeline.h"
#include "ui/engine/ruffle_engine.h"

namespace {
FlashEngineFactory& Factory() {
    static FlashEngineFactory factory = [](QWidget* parent, FlashProcess process) {
        return std::make_unique<RuffleEngine>(parent, process);
    };
    return factory;
}
}  // namespace

void SetFlashEngineFactory(FlashEngineFactory factory) {
    Factory() = std::move(factory);
}

std::unique_ptr<FlashEngine> MakeFlashEngine(QWidget* parent, FlashProcess process) {
    return Factory() ? Factory()(parent, process) : nullptr;
}

CShockwaveflash1::~CShockwaveflash1() {
    Destroy();
}

void CShockwaveflash1::Prepare(QWidget* parent) {
    if (m_engine)
        return;
    m_engine = MakeFlashEngine(parent, FlashProcess::Issue);
    if (m_engine)
        m_engine->Widget()->hide();
}

bool CShockwaveflash1::Create(QWidget* parent, int id, const QRect& rect, FlashProcess process) {
    if (m_window)
        return true;
    if (!m_engine)
        m_engine = MakeFlashEngine(parent, process);
    if (!m_engine)
        return false;
    m_window = m_engine->Widget();
    m_id = id;
    m_window->setGeometry(rect);
    m_window->setContextMenuPolicy(Qt::NoContextMenu);
    m_window->show();
    return true;
}

void CShockwaveflash1::CoverWithPicture(std::function<void()> then) {
    if (!m_engine || !m_window) {
        then();
        return;
    }
    // Whichever comes first: the picture, or the moment past which the window
    // is better shown without one. A window laid out anew waits for its movie
    // to have drawn at the new size, asked again every few milliseconds.
    constexpr int kPictureLimitMs = 250, kAskAgainMs = 20;
    auto pending = std::make_shared<std::function<void()>>(std::move(then));
    const auto once = [pending] {
        if (auto run = std::exchange(*pending, nullptr))
            run();
    };
    QPointer<QWidget> window(m_window);
    auto ask = std::make_shared<std::function<void()>>();
    *ask = [this, window, once, pending, weakAsk = std::weak_ptr(ask)] {
        if (!window || !*pending)
            return;
        m_engine->TakePicture([this, window, once, weakAsk](const std::optional<QImage>& picture) {
            if (!picture) {
                if (auto again = weakAsk.lock())
                    QTimer::singleShot(kAskAgainMs, window, *again);
                return;
            }
            platform::TimelineMark(picture->isNull() ? "no cover picture" : "cover picture");
            if (window && !picture->isNull())
                Cover(QPixmap::fromImage(*picture));
            once();
        });
    };
    (*ask)();
    QTimer::singleShot(kPictureLimitMs, m_window, [once, pending, ask] {
        if (*pending)
            platform::TimelineMark("no cover picture");
        once();
    });
}

void CShockwaveflash1::Cover(const QPixmap& picture) {
    // Long enough for the view to have drawn again; a movie is still this long.
    constexpr int kCoverMs = 300;
    if (!m_window || !m_window->parentWidget() || picture.isNull())
        return;
    auto* cover = new QLabel(m_window->parentWidget());
    cover->setAttribute(Qt::WA_TransparentForMouseEvents);
    cover->setScaledContents(true);  // a picture of the canvas is in device pixels
    cover->setPixmap(picture);
    cover->setGeometry(m_window->geometry());
    cover->show();
    cover->raise();
    QTimer::singleShot(kCoverMs, cover, &QObject::deleteLater);
}

void CShockwaveflash1::Destroy() {
    m_window = nullptr;
    m_engine.reset();  // the engine takes its window with it
}

// Calls on a control that was never created do nothing, as dispatch calls did.
void CShockwaveflash1::SetMovie(const QString& path) {
    if (m_engine)
        m_engine->SetMovie(path);
}
void CShockwaveflash1::Play() {
    if (m_engine)
        m_engine->Play();
}
void CShockwaveflash1::HoldMovie(bool held) {
    if (m_engine)
        m_engine->HoldMovie(held);
}
void CShockwaveflash1::Stop() {
    if (m_engine)
        m_engine->Stop();
}
QString CShockwaveflash1::CallFunction(const QString& xml) {
    return m_engine ? m_engine->CallFunction(xml) : QString();
}
void CShockwaveflash1::SetReturnValue(const QString& xml) {
    if (m_engine)
        m_engine->SetReturnValue(xml);
}
void CShockwaveflash1::SetEvents(FlashEngine::Events events) {
    if (m_engine)
        m_engine->SetEvents(std::move(events));
}
