// Undoable test objects for the history tests.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "foundation/user_error.h"
#include "store/history.h"
#include "platform/test_support.h"

inline int32_t ReadInt(const void* Data)
{
    int32_t V;
    std::memcpy(&V, Data, 4);
    return V;
}

// Logs every replay call with its bytes; records whatever it is told to.
class TProbe : public TUndoObject {
public:
    struct TCall {
        bool IsRedo;
        int32_t Command;
        std::string Bytes;
        bool operator==(const TCall&) const = default;
    };
    using TUndoObject::TUndoObject;
    void Undo(int32_t Command, const void* Data, int32_t Size) override { Log(false, Command, Data, Size); }
    void Redo(int32_t Command, const void* Data, int32_t Size) override { Log(true, Command, Data, Size); }
    void Record(uint8_t Kind, int32_t Command, const std::string& Bytes)
    {
        AddHistory(Kind, Command, Bytes.data(), static_cast<int32_t>(Bytes.size()));
    }
    std::vector<TCall> Calls;

private:
    void Log(bool IsRedo, int32_t Command, const void* Data, int32_t Size)
    {
        Calls.push_back({IsRedo, Command, std::string(static_cast<const char*>(Data), Size)});
    }
};

// An int32 value and a byte string; each change records the state before
// (undo) and after (redo). Replay goes through the same setters, as real
// objects do, so recording during replay is exercised.
class TValueObj : public TUndoObject {
public:
    enum : int32_t { CmdValue = 1, CmdBytes = 2 };
    using TUndoObject::TUndoObject;
    void SetValue(int32_t V)
    {
        AddHistory(0, CmdValue, &Value, 4);
        AddHistory(1, CmdValue, &V, 4);
        Value = V;
    }
    void SetBytes(const std::string& B)
    {
        AddHistory(0, CmdBytes, Bytes.data(), static_cast<int32_t>(Bytes.size()));
        AddHistory(1, CmdBytes, B.data(), static_cast<int32_t>(B.size()));
        Bytes = B;
    }
    void Undo(int32_t Command, const void* Data, int32_t Size) override { Apply(FailUndo, Command, Data, Size); }
    void Redo(int32_t Command, const void* Data, int32_t Size) override { Apply(FailRedo, Command, Data, Size); }
    int32_t Value = 0;
    std::string Bytes;
    bool FailUndo = false, FailRedo = false;

private:
    void Apply(bool Fail, int32_t Command, const void* Data, int32_t Size)
    {
        if (Fail)
            throw std::runtime_error("replay failed");
        if ((Command & 0x7F) == CmdValue)
            SetValue(ReadInt(Data));
        else
            SetBytes(std::string(static_cast<const char*>(Data), Size));
    }
};

// Makes and deletes value objects under history IDs, the way a document's
// items come and go.
class TCreator : public TUndoObject {
public:
    enum : int32_t { CmdMake = 10, CmdRemove = 11 };
    using TUndoObject::TUndoObject;
    TValueObj* Make(int32_t Value, const std::string& Bytes)
    {
        auto Obj = std::make_unique<TValueObj>(HistoryCommand());
        Obj->Value = Value;
        Obj->Bytes = Bytes;
        const int32_t ID = Obj->ObjID();
        const std::string State = Pack(*Obj);
        AddHistory(0, CmdMake, &ID, 4);
        AddHistory(1, CmdMake, State.data(), static_cast<int32_t>(State.size()));
        return (Objects[ID] = std::move(Obj)).get();
    }
    void Remove(int32_t ID)
    {
        const std::string State = Pack(*Objects.at(ID));
        AddHistory(0, CmdRemove, State.data(), static_cast<int32_t>(State.size()));
        AddHistory(1, CmdRemove, &ID, 4);
        Objects.erase(ID);
    }
    // Undo of a removal re-creates under the old ID; redo of a creation
    // appends and must land on the recorded ID again.
    void Undo(int32_t Command, const void* Data, int32_t Size) override
    {
        Replay((Command & 0x7F) == CmdRemove, Data, Size, true);
    }
    void Redo(int32_t Command, const void* Data, int32_t Size) override
    {
        Replay((Command & 0x7F) == CmdMake, Data, Size, false);
    }
    // ID -> (value, bytes) of every live object.
    std::map<int32_t, std::pair<int32_t, std::string>> Snapshot() const
    {
        std::map<int32_t, std::pair<int32_t, std::string>> Result;
        for (const auto& [ID, Obj] : Objects) {
            if (Obj->ObjID() != ID || HistoryCommand()->GetObj(ID) != Obj.get())
                throw std::logic_error("object registered under a wrong ID");
            Result[ID] = {Obj->Value, Obj->Bytes};
        }
        return Result;
    }
    std::map<int32_t, std::unique_ptr<TValueObj>> Objects;

private:
    static std::string Pack(const TValueObj& Obj)
    {
        const int32_t Head[2] = {Obj.ObjID(), Obj.Value};
        return std::string(reinterpret_cast<const char*>(Head), 8) + Obj.Bytes;
    }
    void Replay(bool Restore, const void* Data, int32_t Size, bool UnderOldID)
    {
        const int32_t ID = ReadInt(Data);
        if (!Restore) {
            Objects.erase(ID);
            return;
        }
        auto Obj = UnderOldID ? std::make_unique<TValueObj>(HistoryCommand(), ID)
                              : std::make_unique<TValueObj>(HistoryCommand());
        if (Obj->ObjID() != ID)
            throw std::logic_error("re-created under another ID");
        Obj->Value = ReadInt(static_cast<const char*>(Data) + 4);
        Obj->Bytes.assign(static_cast<const char*>(Data) + 8, static_cast<size_t>(Size - 8));
        Objects[ID] = std::move(Obj);
    }
};

// Bytes 0, 7, 14, ... offset by Seed, so that misplaced bytes show.
inline std::string Pattern(int32_t Size, int32_t Seed)
{
    std::string S(static_cast<size_t>(Size), '\0');
    for (int32_t I = 0; I < Size; ++I)
        S[I] = static_cast<char>((I * 7 + Seed) & 0xFF);
    return S;
}

template <class F>
std::string ErrorOf(F Fn)
{
    return MessageOf<Exception>(Fn);
}
