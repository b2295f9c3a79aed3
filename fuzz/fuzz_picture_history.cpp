// Pictures and the undo history: the input's bytes choose the steps of the
// picture model (fuzz/picture_history_model.h), the first byte how short the
// history is. Any step that raises, loses a picture, writes a picture no
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
    // oldest steps on the way. The states are compared without the
    // thumbnail, which the suite's test compares: drawing it would take
    // most of the time.
    const bool Short = In.Byte() % 3 == 0;
    TPictureHistoryModel Model(Env, [&In](uint32_t N) { return uint32_t(In.Byte()) % N; },
                               Short ? 2000 : 0, Short ? 1500 : 0, false);
    std::string Fault;
    for (int32_t I = 0; I < MaxSteps && In.RestSize() > 0 && Fault.empty(); ++I)
        Fault = Model.Step();
    if (Fault.empty())
        Fault = Model.Finish();
    if (!Fault.empty())
        FuzzFault("picture history: " + Fault);
    return true;
}

// Steps by their first pick (of 16): 0 select (then 0 clear, 1 all, 2 one),
// 2 paste (then the source: 0 to 2 other documents, 3 its own copy), 5 copy,
// 6 duplicate, 7 cut, 8 delete, 9 fill edit (then the object, 0 a picture
// loaded or 1 one in use, and which), 11 group, 12 undo, 14 redo.
[[maybe_unused]] void WriteSeeds(TFuzzSeeds& Seeds)
{
    const auto Add = [&](const std::string& Name, std::initializer_list<uint8_t> Bytes) {
        Seeds.Add(Name, std::string(Bytes.begin(), Bytes.end()));
    };
    // Paste, duplicate, undo twice, redo twice.
    Add("paste-duplicate", {1, 2, 0, 6, 12, 12, 14, 14});
    // Paste, a fill edit with the pasted picture at the object's size,
    // undo twice, redo twice.
    Add("paste-fill", {1, 2, 0, 9, 0, 1, 0, 12, 12, 14, 14});
    // Paste undone and redone, a fill edit with a picture loaded, undone and
    // redone twice.
    Add("paste-redo-fill", {1, 2, 0, 12, 14, 9, 0, 0, 4, 12, 14, 12, 14});
    // A group pasted, all selected, copied, deleted, pasted back, all
    // selected, grouped, cut, undone twice, redone.
    Add("group-copy-cut", {1, 2, 1, 0, 1, 5, 8, 2, 3, 0, 1, 11, 7, 12, 12, 14});
    // Pastes, duplicates, a fill edit and a deletion with a history that
    // drops its oldest steps, undone and redone.
    Add("short-history", {0, 2, 2, 2, 0, 0, 1, 6, 6, 9, 0, 0, 3, 8, 12, 12, 12, 14, 14, 14});
}

} // namespace

TAVRO_FUZZ_TARGET(picture_history)
