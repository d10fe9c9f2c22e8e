#include "ads/foundation/DZContentHashing.h"

#include "ads/foundation/DZThreading.h"
#include "core/UserDefaults.h"
#include "ui/Application.h"
#include "ui/Label.h"
#include "ui/SearchTextField.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace ads {

std::shared_ptr<DZContentHashing> DZContentHashing::create(ViewProvider viewProvider,
                                                           TextReader textReader) {
    if (!viewProvider) viewProvider = &DZContentHashing::topViewControllerView;
    if (!textReader) textReader = &DZContentHashing::textOfView;
    return std::shared_ptr<DZContentHashing>(
        new DZContentHashing(std::move(viewProvider), std::move(textReader)));
}

DZContentHashing::DZContentHashing(ViewProvider viewProvider, TextReader textReader)
    : viewProvider_(std::move(viewProvider)), textReader_(std::move(textReader)) {}

std::shared_ptr<ui::View> DZContentHashing::topViewControllerView() {
    const auto window = ui::Application::shared().keyWindow();
    if (!window) return nullptr;
    auto controller = window->rootViewController();
    if (!controller) return nullptr;
    while (const auto presented = controller->presentedViewController()) controller = presented;
    return controller->view();
}

std::string DZContentHashing::textOfView(ui::View& view) {
    if (const auto* label = dynamic_cast<ui::Label*>(&view)) return label->text();
    if (const auto* field = dynamic_cast<ui::SearchTextField*>(&view)) return field->text();
    return "";
}

void DZContentHashing::startContentHashing() {
    if (scheduler_) return;
    const auto defaults = core::UserDefaults::standard();
    std::int64_t capacity = kDefaultQueueCapacity;
    if (!defaults->objectForKey(kQueueCapacityKey).isNull()) {
        capacity = std::max<std::int64_t>(defaults->integerForKey(kQueueCapacityKey), 0);
    }
    double interval = kDefaultTraversalInterval;
    if (!defaults->objectForKey(kTraversalIntervalKey).isNull()) {
        const double stored = defaults->doubleForKey(kTraversalIntervalKey);
        if (stored > 0) interval = stored;
    }
    {
        const std::lock_guard lock(mutex_);
        serialQueue_ = DZCreateQueueWithQoS(DZQueueLabel("content-hashing"), DZQoSDefault);
        contentQueue_ = std::make_shared<DZContentQueue>(static_cast<size_t>(capacity));
    }
    // One traverser for the object's life, so sequence numbers never repeat.
    if (!traverser_) traverser_ = DZViewHierarchyTraverser::create();
    scheduler_ = DZScheduler::create(interval);
    scheduler_->taskIDScheduledOnQueue(core::Queue::main(), [weakSelf = weak_from_this()] {
        if (const auto self = weakSelf.lock()) self->traverse();
    });
    scheduler_->start();
}

void DZContentHashing::stopContentHashing() {
    {
        const std::lock_guard lock(mutex_);
        serialQueue_.reset();
    }
    if (scheduler_) scheduler_->stop();
    scheduler_.reset();
}

bool DZContentHashing::isHashing() const {
    return scheduler_ != nullptr;
}

void DZContentHashing::traverse() {
    std::shared_ptr<core::Queue> queue;
    std::shared_ptr<DZContentQueue> contents;
    {
        const std::lock_guard lock(mutex_);
        queue = serialQueue_;
        contents = contentQueue_;
    }
    if (!queue || !contents || !traverser_) return;
    const auto content = std::make_shared<std::shared_ptr<DZContent>>();
    auto visit = [reader = textReader_, queue, content](ui::View& view,
                                                        std::int64_t sequenceNumber) {
        if (!*content) {
            *content = std::make_shared<DZContent>(static_cast<std::uint64_t>(sequenceNumber));
        }
        std::string text = reader(view);
        if (text.empty()) return;
        queue->async(
            [target = *content, text = std::move(text)] { target->updateContentWithText(text); });
    };
    auto completion = [weakSelf = weak_from_this(), queue, contents, content](bool finished) {
        if (!finished || !*content) return;
        queue->async([weakSelf, contents, target = *content] {
            if (target->fingerprint().empty()) return;
            const auto self = weakSelf.lock();
            if (!self) return;
            const std::lock_guard lock(self->mutex_);
            contents->deduplicate(target);
            contents->enqueueContent(target);
        });
    };
    traverser_->traverseView(viewProvider_(), std::move(visit), std::move(completion));
}

std::optional<std::string> DZContentHashing::fingerprintWithServedPenaltyDeduction() {
    std::shared_ptr<core::Queue> queue;
    {
        const std::lock_guard lock(mutex_);
        queue = serialQueue_;
    }
    std::optional<std::string> fingerprint;
    const auto serve = [&] {
        const std::lock_guard lock(mutex_);
        if (!contentQueue_) return;
        const auto content = contentQueue_->contentWithHighestScore();
        if (!content) return;
        content->deductServedPenalty();
        fingerprint = content->fingerprint();
    };
    if (queue && !queue->isCurrent()) {
        queue->sync(serve);
    } else {
        serve();
    }
    return fingerprint;
}

void DZContentHashing::withContentQueue(
    const std::function<void(const DZContentQueue* queue)>& block) const {
    const std::lock_guard lock(mutex_);
    block(contentQueue_.get());
}

}  // namespace ads
