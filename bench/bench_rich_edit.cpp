// Typing into the text page's rich edit control.
//
// RichEditTyping_Ours types 200 characters, one key press each, into a bound
// control showing a 2,000-character styled text: every key goes through the
// binding, which records the insertion on the text object (one command per
// key) and then shows it in the control. RichEditTyping_Peer types the same
// keys into a bare QTextEdit showing the same text in the same formats, which
// inserts them itself. The last line is "ratio RichEditTyping <ours/peer>".
#include "bench_ratio.h"
#include "editors/rich_edit_q.h"
#include "editors/rich_edit_tav.h"
#include "model/layer.h"
#include "model/page_link.h"
#include "model/text_object.h"
#include "platform/cp932.h"
#include "store/history.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextEdit>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

int gArgc = 1;
char gArg0[] = "bench_rich_edit";
char* gArgv[] = {gArg0, nullptr};

class TBenchDocument : public TDocumentLink {
public:
    void SetModified(bool) override {}
    TListRecPict* GetPictureStore() override { return nullptr; }
};

// A page that only keeps the history.
class TBenchPage : public TPageLink {
public:
    THistoryCommand* GetHistory() override { return &History; }
    TDocumentLink* GetDocument() override { return &Document; }
    bool IsDestroying() const override { return false; }
    void InvalidateRect(const TRect*, bool) override {}
    TLayers* GetLayers() override { return &Layers; }
    uint8_t GetDisplayMode() const override { return 3; }
    TrecPicture* GetPagePicture() override { return nullptr; }
    uint32_t GetDrawStartTime() const override { return 0; }
    void SetDrawStartTime(uint32_t) override {}
    void SetAnchorsValid(bool) override {}
    THistoryCommand History;
    TBenchDocument Document;
    TLayers Layers;
};

constexpr int32_t TextChars = 2000;
constexpr int32_t TypedChars = 200;

// 2,000 characters, Japanese and Latin, a line break after every 40.
std::string StyledText()
{
    std::string Utf8;
    const char* const Words[] = {"装飾", "文字", "Tavro", "ロゴ", "text"};
    int32_t Chars = 0, Line = 0;
    for (int32_t W = 0; Chars < TextChars; ++W) {
        std::string Word = Words[W % 5];
        const int32_t N = QString::fromUtf8(Word.c_str()).size();
        Utf8 += Word;
        Chars += N;
        Line += N;
        if (Line >= 40 && Chars < TextChars) {
            Utf8 += "\r\n";
            ++Chars;
            Line = 0;
        }
    }
    return Utf8ToCp932(Utf8);
}

// Every tenth character starts a new size, every third run is bold.
void StyleText(TTextObj& Text)
{
    TListCharStyle& S = Text.RichText().Styles;
    int32_t N = 0;
    for (int32_t I = 0; I < S.Count(); ++I)
        if (TCharStyle* C = S.GetItem(I)) {
            SetCharAttrFaceName(C->Attr, "DejaVu Sans");
            C->Attr.Size = 24 + (N / 10) % 5 * 4;
            C->Attr.Bold = (N / 10) % 3 == 0;
            ++N;
        }
}

void TypeKeys(QWidget& Control)
{
    for (int32_t I = 0; I < TypedChars; ++I) {
        const char C = static_cast<char>('a' + I % 26);
        QKeyEvent E(QEvent::KeyPress, Qt::Key_A + I % 26, Qt::NoModifier, QString(QLatin1Char(C)));
        QApplication::sendEvent(&Control, &E);
    }
}

void BM_RichEditTyping_Ours(benchmark::State& State)
{
    const std::string Text = StyledText();
    TRichEditWex Control;
    Control.resize(400, 300);
    Control.show();
    TRichEditTav Binding(&Control);
    for (auto _ : State) {
        State.PauseTiming();
        TBenchPage Page;
        auto Obj = std::make_unique<TTextObj>(&Page, -1);
        Obj->SetText(Text);
        StyleText(*Obj);
        Binding.SetTextObj(Obj.get());
        Binding.SetSelection(static_cast<int32_t>(Text.size() / 2), 0);
        State.ResumeTiming();
        TypeKeys(Control);
        State.PauseTiming();
        if (Obj->Text().size() != Text.size() + TypedChars)
            State.SkipWithError("the keys did not reach the text object");
        Binding.SetTextObj(nullptr);
        Obj.reset();
        State.ResumeTiming();
    }
}

void BM_RichEditTyping_Peer(benchmark::State& State)
{
    const std::string Text = StyledText();
    // The same text in the same formats, shown by the binding once and
    // copied as a document.
    TBenchPage Page;
    TTextObj Obj(&Page, -1);
    Obj.SetText(Text);
    StyleText(Obj);
    TRichEditWex Shown;
    TRichEditTav Binding(&Shown);
    Binding.SetTextObj(&Obj);
    QTextEdit Control;
    Control.resize(400, 300);
    Control.show();
    for (auto _ : State) {
        State.PauseTiming();
        Control.setDocument(Shown.document()->clone(&Control));
        QTextCursor C = Control.textCursor();
        C.setPosition(Shown.document()->characterCount() / 2);
        Control.setTextCursor(C);
        State.ResumeTiming();
        TypeKeys(Control);
    }
    Binding.SetTextObj(nullptr);
}

} // namespace

BENCHMARK(BM_RichEditTyping_Ours)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RichEditTyping_Peer)->Repetitions(5)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication App(gArgc, gArgv);
    return RunBenchmarksWithRatios(argc, argv, [](const TRatioReporter& R) { R.PrintPairRatios(); });
}
