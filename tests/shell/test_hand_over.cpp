// "tavro -e FILE" hands the file over only to an instance that says it took
// it; otherwise this program opens the file itself.
#include "shell_test_support.h"

#include "platform/qt/dde_server.h"

#include <QDeadlineTimer>
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
    Frame->TAVROExecuteMacro(Frame->DdeServer(), DdeOpenCommand({"-e", QString::fromStdString(Doc)}));
    EXPECT_EQ(DocNames(), std::vector<std::string>{"doc.srn"});
}

// Failed requests to a running instance each get one box of their own, one
// after another, naming the file and why, nothing chained; a name reaches the
// instance byte for byte, a line feed in it too.
TEST_F(THandOverTest, EachFailedRequestIsToldAloneAndNamesArriveByteForByte)
{
    Start();
    ASSERT_TRUE(Frame->DdeServer()->Active());
    Tmp.Put("bad.srn", "not a document");
    const std::string Feed = Tmp / "line\nfeed.srn";
    SaveDocumentFile(Feed, 1);
    const std::vector<std::string> Files = {Tmp / "none.srn", Tmp / "bad.srn",  Tmp / "none.png",
                                            Tmp / "a\nb.srn", Tmp / "c\r\nd.png", Tmp / "bad.srn"};
    std::atomic<bool> Sent{false};
    int Depth = 0, Deepest = 0;
    std::vector<std::string> Texts;
    const TMessageBoxHandler Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
        Texts.push_back(Text);
        Deepest = std::max(Deepest, ++Depth);
        // A box runs its own loop until answered: the requests sent
        // meanwhile arrive while it is open.
        while (!Sent)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        --Depth;
        return IDOK;
    });
    std::thread Second([&] {
        for (const std::string& F : Files)
            HandOverToRunningInstance({"-e", QString::fromStdString(F)});
        HandOverToRunningInstance({"-e", QString::fromStdString(Feed)});
        Sent = true;
    });
    const QDeadlineTimer Bound(60000);
    while ((!Sent || Texts.size() < Files.size() || DocNames() != std::vector<std::string>{"line\nfeed.srn"}) &&
           !Bound.hasExpired())
        QTest::qWait(5);
    Second.join();
    SetMessageBoxHandler(Old);
    std::vector<std::string> Told;
    for (const std::string& F : Files)
        Told.push_back(F + " の読み込みに失敗しました。\n" +
                       (F.ends_with("bad.srn") ? "データ形式が違います。" : F + " を開けません。"));
    EXPECT_EQ(Texts, Told);
    EXPECT_EQ(Deepest, 1);
    EXPECT_EQ(DocNames(), std::vector<std::string>{"line\nfeed.srn"});
}
