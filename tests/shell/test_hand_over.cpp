// "tavro -e FILE" hands the file over only to an instance that says it took
// it; otherwise this program opens the file itself.
#include "shell_test_support.h"

#include "platform/qt/dde_server.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <atomic>
#include <thread>

namespace {

class THandOverTest : public TFrameTest {
protected:
    void SetUp() override
    {
        TFrameTest::SetUp();
        Doc = Tmp / "doc.srn";
        SaveDocumentFile(Doc, 1);
    }
    bool HandOver() { return TFrameTest::HandOver({"-e", QString::fromStdString(Doc)}); }
    std::string Doc;
};

} // namespace

TEST_F(THandOverTest, ARunningInstanceTakesTheFileAndSaysSo)
{
    Start();
    ASSERT_TRUE(Frame->DdeServer()->Active());
    // A second frame finds the name served and serves nothing.
    auto Second = std::make_unique<TfrmTavro>();
    EXPECT_FALSE(Second->DdeServer()->Active());
    Second.reset();

    ASSERT_TRUE(HandOver());
    for (int I = 0; I < 200 && DocNames() != std::vector<std::string>{"doc.srn"}; ++I)
        Settle(10);
    EXPECT_EQ(DocNames(), std::vector<std::string>{"doc.srn"});
    EXPECT_TRUE(Frame->isEnabled());
    Close();
    // Nobody serves the name now: the caller must become the instance.
    EXPECT_FALSE(HandOver());
    EXPECT_FALSE(HandOverToRunningInstance({QString::fromStdString(Doc)}));
}

TEST_F(THandOverTest, ANameHeldByAProgramThatNeverAnswersIsNoHandOver)
{
    QLocalServer Holder;
    QLocalServer::removeServer(TavroDdeServerName());
    ASSERT_TRUE(Holder.listen(TavroDdeServerName()));
    std::vector<std::unique_ptr<QLocalSocket>> Held;
    QObject::connect(&Holder, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* S = Holder.nextPendingConnection())
            Held.emplace_back(S); // takes the bytes, never answers
    });
    EXPECT_FALSE(HandOver());
    // So this program is the one to open it, as the start-up does for "-e".
    Start({"-e", QString::fromStdString(Doc)});
    EXPECT_FALSE(Frame->DdeServer()->Active());
    TStringList Lines;
    SplitExecuteLines(DdeOpenCommand({"-e", QString::fromStdString(Doc)}), Lines);
    Frame->TAVROExecuteMacro(Frame->DdeServer(), Lines);
    EXPECT_EQ(DocNames(), std::vector<std::string>{"doc.srn"});
}
