#pragma once
// Recording message boxes instead of showing them.

#include "tw/common/common.hpp"

#include <QString>
#include <QStringList>

#include <vector>

namespace tw::test {

// Installed as the program's message boxes for its lifetime; keeps every box shown.
class BoxRecorder : public MessageBoxService {
public:
    struct Box {
        QString prompt;
        QString caption;
        BoxIcon icon;
    };
    BoxRecorder();
    ~BoxRecorder() override;
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;
    void Show(const QString& prompt, const QString& caption, BoxIcon icon) override;
    std::vector<Box> boxes;
    // The same boxes' prompts and captions alone, in order.
    QStringList prompts;
    QStringList captions;
};

}  // namespace tw::test
