// Pictures and the undo history: the input's bytes choose the steps of the
// picture model (fuzz/picture_history_model.h), the first byte also how short
// the history is. Any step that raises, loses a picture, writes a picture no
// item uses, or undoes or redoes to other bytes than the state had is a
// finding.
// fuzz-link: tavro_model
#include "fuzz/fuzz_support.h"
#include "fuzz/picture_history_model.h"

namespace {

using namespace picture_history;

constexpr int32_t MaxSteps = 80;

bool FuzzOne(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    TModelEnvironment Env;
    // Every third input runs with a history short enough to drop its
    // oldest steps on the way.
    const bool Short = In.Byte() % 3 == 0;
    TPictureHistoryModel Model(Env, [&In](uint32_t N) { return uint32_t(In.Byte()) % N; },
                               Short ? 6000 : 0, Short ? 4000 : 0);
    std::string Fault;
    for (int32_t I = 0; I < MaxSteps && In.RestSize() > 0 && Fault.empty(); ++I)
        Fault = Model.Step();
    if (Fault.empty())
        Fault = Model.Finish();
    if (!Fault.empty())
        FuzzFault("picture history: " + Fault);
    return true;
}

// Steps by their first pick (of 14): 0 select, 2 paste, 3 copy, 4 duplicate,
// 5 cut, 6 delete, 7 fill edit, 9 group, 10 undo, 12 redo.
[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    const auto Add = [&](const std::string& Name, std::initializer_list<uint8_t> Bytes) {
        Seeds.Add(Name, std::string(Bytes.begin(), Bytes.end()));
    };
    // Paste, duplicate, undo twice, redo twice.
    Add("paste-duplicate", {1, 2, 0, 4, 10, 10, 12, 12});
    // Paste, a fill edit with the pasted picture at the object's size,
    // undo twice, redo twice.
    Add("paste-fill", {1, 2, 0, 7, 0, 1, 0, 10, 10, 12, 12});
    // Paste undone and redone, a fill edit with a picture loaded, undone and
    // redone twice.
    Add("paste-redo-fill", {1, 2, 0, 10, 12, 7, 0, 0, 4, 10, 12, 10, 12});
    // A group pasted, all selected, copied, deleted, pasted back, grouped,
    // cut, undone.
    Add("group-copy-cut", {1, 2, 1, 0, 1, 3, 6, 2, 3, 0, 1, 9, 5, 10, 10, 12});
    // The same with a history that drops its oldest steps.
    Add("short-history", {0, 2, 2, 2, 0, 0, 1, 4, 4, 7, 0, 0, 3, 6, 10, 10, 10, 12, 12, 12});
}

} // namespace

TAVRO_FUZZ_TARGET(picture_history)
