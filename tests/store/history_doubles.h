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
#include "model/store/history.h"

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

    void Undo(int32_t Command, const void* Data, int32_t Size) override
    {
        Calls.push_back({false, Command, std::string(static_cast<const char*>(Data), Size)});
    }
    void Redo(int32_t Command, const void* Data, int32_t Size) override
    {
        Calls.push_back({true, Command, std::string(static_cast<const char*>(Data), Size)});
    }
    void Record(uint8_t Kind, int32_t Command, const std::string& Bytes)
    {
        AddHistory(Kind, Command, Bytes.data(), static_cast<int32_t>(Bytes.size()));
    }

    std::vector<TCall> Calls;
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
    void Undo(int32_t Command, const void* Data, int32_t Size) override
    {
        if (FailUndo)
            throw std::runtime_error("undo failed");
        Apply(Command, Data, Size);
    }
    void Redo(int32_t Command, const void* Data, int32_t Size) override
    {
        if (FailRedo)
            throw std::runtime_error("redo failed");
        Apply(Command, Data, Size);
    }

    int32_t Value = 0;
    std::string Bytes;
    bool FailUndo = false;
    bool FailRedo = false;

private:
    void Apply(int32_t Command, const void* Data, int32_t Size)
    {
        switch (Command & 0x7F) {
        case CmdValue: {
            int32_t V;
            std::memcpy(&V, Data, 4);
            SetValue(V);
            break;
        }
        case CmdBytes:
            SetBytes(std::string(static_cast<const char*>(Data), Size));
            break;
        default:
            throw std::logic_error("unknown command");
        }
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
        AddHistory(0, CmdMake, &ID, 4);
        const std::string State = Pack(*Obj);
        AddHistory(1, CmdMake, State.data(), static_cast<int32_t>(State.size()));
        TValueObj* Result = Obj.get();
        Objects[ID] = std::move(Obj);
        return Result;
    }
    void Remove(int32_t ID)
    {
        const std::string State = Pack(*Objects.at(ID));
        AddHistory(0, CmdRemove, State.data(), static_cast<int32_t>(State.size()));
        AddHistory(1, CmdRemove, &ID, 4);
        Objects.erase(ID);
    }
    void Undo(int32_t Command, const void* Data, int32_t Size) override
    {
        if ((Command & 0x7F) == CmdMake)
            Objects.erase(ReadID(Data));
        else
            Restore(Data, Size, true);
    }
    void Redo(int32_t Command, const void* Data, int32_t Size) override
    {
        if ((Command & 0x7F) == CmdMake)
            Restore(Data, Size, false);
        else
            Objects.erase(ReadID(Data));
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
        std::string S(8, '\0');
        const int32_t ID = Obj.ObjID();
        std::memcpy(S.data(), &ID, 4);
        std::memcpy(S.data() + 4, &Obj.Value, 4);
        return S + Obj.Bytes;
    }
    static int32_t ReadID(const void* Data)
    {
        int32_t ID;
        std::memcpy(&ID, Data, 4);
        return ID;
    }
    // Undo of a removal re-creates under the old ID; redo of a creation
    // appends and must land on the recorded ID again.
    void Restore(const void* Data, int32_t Size, bool UnderOldID)
    {
        const auto* P = static_cast<const char*>(Data);
        const int32_t ID = ReadID(P);
        auto Obj = UnderOldID ? std::make_unique<TValueObj>(HistoryCommand(), ID)
                              : std::make_unique<TValueObj>(HistoryCommand());
        if (Obj->ObjID() != ID)
            throw std::logic_error("re-created under another ID");
        std::memcpy(&Obj->Value, P + 4, 4);
        Obj->Bytes.assign(P + 8, static_cast<size_t>(Size - 8));
        Objects[ID] = std::move(Obj);
    }
};

// Bytes 0, 1, 2, ... offset by Seed, so that misplaced bytes show.
inline std::string Pattern(int32_t Size, int32_t Seed)
{
    std::string S(static_cast<size_t>(Size), '\0');
    for (int32_t I = 0; I < Size; ++I)
        S[I] = static_cast<char>((I * 7 + Seed) & 0xFF);
    return S;
}

// The message of the Exception Fn raises, or "<none>".
template <class F>
std::string ErrorOf(F Fn)
{
    try {
        Fn();
    } catch (const Exception& E) {
        return E.Message();
    }
    return "<none>";
}
