#pragma once
// Keeps a view subscribed to a model for exactly the view's lifetime: the
// links keep models alive after a view is gone, so the view must leave.
#include <cstddef>
#include <functional>
#include <memory>

#include "model/Observable.h"

namespace qx::app {

class ModelSubscription {
public:
    ModelSubscription() = default;
    ModelSubscription(std::shared_ptr<Observable> model, Observable::Observer observer)
        : model_(std::move(model)), token_(model_->subscribe(std::move(observer))) {}
    ~ModelSubscription() { reset(); }
    ModelSubscription(const ModelSubscription&) = delete;
    ModelSubscription& operator=(const ModelSubscription&) = delete;
    ModelSubscription(ModelSubscription&& other) noexcept
        : model_(std::move(other.model_)), token_(other.token_) {}
    ModelSubscription& operator=(ModelSubscription&& other) noexcept
    {
        if (this != &other) {
            reset();
            model_ = std::move(other.model_);
            token_ = other.token_;
        }
        return *this;
    }

    void reset()
    {
        if (model_) model_->unsubscribe(token_);
        model_.reset();
    }

private:
    std::shared_ptr<Observable> model_;
    std::size_t token_ = 0;
};

}  // namespace qx::app
