// A whole log file of any content through the log loader: the load stops at a bad line with one
// error box, or takes every line; what was loaded, saved and loaded again gives the same messages.
#include "fuzz_check.hpp"
#include "tw/common/common.hpp"
#include "tw/core/log.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace tv = tw::viewer;

namespace {

struct CountingBoxes : tw::MessageBoxService {
    int shown = 0;
    QString caption;
    void Show(const QString&, const QString& c, tw::BoxIcon) override {
        ++shown;
        caption = c;
    }
};

std::vector<QString> Messages(tv::TraceTree& tree) {
    std::vector<QString> out;
    for (int i = 1; i <= tree.Count(); ++i) {
        const tv::MessageSink& m = tree.Message(i);
        out.push_back(QString::number(m.MessageType()) + '/' + QString::number(m.RecordNumber()) + '/' +
                      m.ObjectName() + '/' + m.ObjectValue() + '/' + m.Message());
    }
    return out;
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string dir = FuzzTempDir("tw-logfuzz");
    static CountingBoxes boxes;
    tw::setMessageBoxes(&boxes);
    boxes.shown = 0;

    const std::string in = dir + "/in.log";
    const std::string out = dir + "/out.log";
    if (FILE* f = std::fopen(in.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    ::unlink(out.c_str());

    tv::PlainTracePages pages;
    tv::MessageManager store(pages);
    store.SetProcessMessages(true);
    const auto result = tv::Log(store).Load(QString::fromStdString(in));
    if (result.ok) {
        TW_FUZZ_CHECK(boxes.shown == 0);
    } else {
        TW_FUZZ_CHECK(boxes.shown == 1 && boxes.caption == tv::Log::LoadErrorCaption());
    }
    // Every message of the store came from a line read.
    TW_FUZZ_CHECK(pages.GetDefault().Count() <= result.lines);

    const std::vector<QString> first = Messages(pages.GetDefault());
    boxes.shown = 0;
    const bool saved = tv::Log(store).Save(QString::fromStdString(out));
    TW_FUZZ_CHECK(saved || first.empty());

    tv::PlainTracePages pages2;
    tv::MessageManager store2(pages2);
    store2.SetProcessMessages(true);
    // An empty page writes no file.
    if (saved && !first.empty()) {
        const auto again = tv::Log(store2).Load(QString::fromStdString(out));
        TW_FUZZ_CHECK(again.ok);
        TW_FUZZ_CHECK(Messages(pages2.GetDefault()) == first);
    }
    tw::setMessageBoxes(nullptr);
    return 0;
}
