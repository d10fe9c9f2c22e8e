// The mail composer in the desktop window: Send hands the mail to the
// desktop's mail client (xdg-email, found on PATH), attachments as files
// that go once the client has read them, and the result, the composer's only
// one, says whether the client took it.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "FakeMailClient.h"
#include "StoreTesting.h"
#include "core/FileManager.h"
#include "core/RunLoop.h"
#include "store/DesktopMailClient.h"
#include "store/MailComposeViewController.h"
#include "ui/Button.h"
#include "ui/Control.h"

using store::MailComposeResult;
using store::MailComposeViewController;

namespace {

namespace fs = std::filesystem;

class MailClientTest : public testing::Test {
protected:
    void SetUp() override {
        MailComposeViewController::setHandsToDesktopMailClient(true);
        removeAttachmentFolders();
        // Folders earlier tests left are no longer watched.
        ASSERT_TRUE(core::RunLoop::main().runUntil(
            [] { return store::DesktopMailClient::watchedFolderCount() == 0; }, storetest::kLimit));
    }
    void TearDown() override {
        MailComposeViewController::setHandsToDesktopMailClient(false);
        removeAttachmentFolders();
    }

    // The attachment folders in the app's temporary folder.
    static std::vector<fs::path> attachmentFolders() {
        std::vector<fs::path> folders;
        std::error_code error;
        for (const auto& entry :
             fs::directory_iterator(store::DesktopMailClient::attachmentsParent(), error))
            if (entry.path().filename().string().rfind("mail-", 0) == 0)
                folders.push_back(entry.path());
        return folders;
    }
    static void removeAttachmentFolders() {
        std::error_code ignored;  // the read watch may be removing one
        for (const auto& folder : attachmentFolders()) fs::remove_all(folder, ignored);
    }
    static std::string contents(const std::string& path) {
        const auto bytes = core::FileManager::readFile(path);
        return bytes ? bytes.value() : "(missing)";
    }

    // Taps Send and waits for the composer to end.
    static void send(const std::shared_ptr<MailComposeViewController>& mail,
                     const storetest::MailRecorder& ending) {
        (void)mail->view();
        const size_t before = ending.results.size();
        mail->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);
        EXPECT_TRUE(
            core::RunLoop::main().runUntil([&] { return ending.results.size() > before; }, 20));
    }

    storetest::FakeMailClient client_{"mail-client"};
};

TEST_F(MailClientTest, SendHandsRecipientsSubjectBodyAndAttachmentsToTheMailClient) {
    client_.install({.status = 0});
    EXPECT_TRUE(MailComposeViewController::canSendMail());
    const auto mail = MailComposeViewController::create();
    ASSERT_TRUE(mail);
    const auto ending = std::make_shared<storetest::MailRecorder>();
    mail->setMailComposeDelegate(ending);
    mail->setToRecipients({"ads@example.com", "--attach"});
    mail->setCcRecipients({"a@example.com"});
    mail->setBccRecipients({"b@example.com"});
    mail->setSubject("Hello there");
    mail->setMessageBody("Line one\nLine two", false);
    mail->addAttachmentData("first", "text/plain", "notes.txt");
    mail->addAttachmentData(std::string("\x89PNG\0x", 6), "image/png", "../../picture.png");
    mail->addAttachmentData("second", "text/plain", "notes.txt");
    ASSERT_GT(mail->attachments().size(), 1u);
    EXPECT_EQ(mail->attachments()[1].fileName, "picture.png") << "no folder part is kept";

    send(mail, *ending);
    ASSERT_EQ(ending->results, std::vector<MailComposeResult>{MailComposeResult::Sent});
    EXPECT_FALSE(ending->errors[0]);

    const auto arguments = client_.arguments();
    // "Line one\nLine two" takes two lines of the record.
    ASSERT_EQ(arguments.size(), 20u);
    const std::vector<std::string> fields(arguments.begin(), arguments.begin() + 15);
    EXPECT_EQ(fields, (std::vector<std::string>{"--utf8", "--to", "ads@example.com", "--to",
                                                "--attach", "--cc", "a@example.com", "--bcc",
                                                "b@example.com", "--subject", "Hello there",
                                                "--body", "Line one", "Line two", "--attach"}))
        << "every value follows its option, a recipient like an option too";
    EXPECT_EQ(arguments[16], "--attach");
    EXPECT_EQ(arguments[18], "--attach");
    EXPECT_EQ(fs::path(arguments[15]).filename(), "notes.txt");
    EXPECT_EQ(fs::path(arguments[17]).filename(), "picture.png");
    EXPECT_EQ(fs::path(arguments[19]).filename(), "2-notes.txt");
    EXPECT_EQ(contents(arguments[15]), "first");
    EXPECT_EQ(contents(arguments[17]), std::string("\x89PNG\0x", 6));
    EXPECT_EQ(contents(arguments[19]), "second");
}

TEST_F(MailClientTest, AMailClientThatRefusesOrIsMissingIsAFailureNotASend) {
    client_.install({.status = 3});
    const auto ending = std::make_shared<storetest::MailRecorder>();
    const auto refused = MailComposeViewController::create();
    refused->setMailComposeDelegate(ending);
    refused->setToRecipients({"ads@example.com"});
    send(refused, *ending);
    ASSERT_EQ(ending->results, std::vector<MailComposeResult>{MailComposeResult::Failed});
    ASSERT_TRUE(ending->errors[0]);
    EXPECT_NE(ending->errors[0]->message.find("exit status 3"), std::string::npos)
        << ending->errors[0]->message;
    EXPECT_EQ(client_.arguments(), (std::vector<std::string>{"--utf8", "--to", "ads@example.com"}));

    client_.uninstall();
    const auto missing = MailComposeViewController::create();
    missing->setMailComposeDelegate(ending);
    send(missing, *ending);
    ASSERT_EQ(ending->results.size(), 2u);
    EXPECT_EQ(ending->results[1], MailComposeResult::Failed);
    ASSERT_TRUE(ending->errors[1]);
    EXPECT_NE(ending->errors[1]->message.find("cannot be started"), std::string::npos)
        << ending->errors[1]->message;

    // Outside the window Send only ends the composer, as before.
    MailComposeViewController::setHandsToDesktopMailClient(false);
    MailComposeViewController::setCanSendMailForTesting(true);
    const auto plain = MailComposeViewController::create();
    plain->setMailComposeDelegate(ending);
    send(plain, *ending);
    MailComposeViewController::setCanSendMailForTesting(false);
    ASSERT_EQ(ending->results.size(), 3u);
    EXPECT_EQ(ending->results[2], MailComposeResult::Sent);
}

TEST_F(MailClientTest, OnceSendHasHandedTheMailOverTheComposerGivesNoOtherResult) {
    client_.install({.held = true});
    const auto mail = MailComposeViewController::create();
    const auto ending = std::make_shared<storetest::MailRecorder>();
    mail->setMailComposeDelegate(ending);
    mail->setToRecipients({"ads@example.com"});
    (void)mail->view();
    mail->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);
    // The mail client has the mail and is still taking it.
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return !client_.arguments().empty(); },
                                               storetest::kLimit));
    mail->cancelButton()->sendActions(ui::ControlEvent::TouchUpInside);
    mail->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);
    mail->finish(MailComposeResult::Cancelled);
    EXPECT_TRUE(ending->results.empty());

    client_.release();
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return !ending->results.empty(); },
                                               storetest::kLimit));
    // Nor after the client's answer: the mail has left.
    mail->cancelButton()->sendActions(ui::ControlEvent::TouchUpInside);
    mail->finish(MailComposeResult::Failed);
    core::RunLoop::main().runOnce();
    EXPECT_EQ(ending->results, std::vector<MailComposeResult>{MailComposeResult::Sent});
    EXPECT_EQ(client_.arguments(), (std::vector<std::string>{"--utf8", "--to", "ads@example.com"}));
    EXPECT_EQ(client_.runs(), 1u);
}

TEST_F(MailClientTest, AttachmentFoldersGoOnceTheClientHasReadThemOrTheMailWentNowhere) {
    const auto compose = [](const std::string& name) {
        auto mail = MailComposeViewController::create();
        mail->setToRecipients({"ads@example.com"});
        mail->addAttachmentData("one", "text/plain", name);
        mail->addAttachmentData("two", "text/plain", name);
        return mail;
    };
    const auto ending = std::make_shared<storetest::MailRecorder>();

    // A client that reads both files has them: their folder goes.
    client_.install({.reads = true});
    const auto read = compose("notes.txt");
    read->setMailComposeDelegate(ending);
    send(read, *ending);
    ASSERT_EQ(ending->results, std::vector<MailComposeResult>{MailComposeResult::Sent});
    EXPECT_EQ(contents(client_.copy(1).string()), "one");
    EXPECT_EQ(contents(client_.copy(2).string()), "two");
    ASSERT_TRUE(core::RunLoop::main().runUntil([] { return attachmentFolders().empty(); },
                                               storetest::kLimit));
    EXPECT_EQ(store::DesktopMailClient::watchedFolderCount(), 0u);

    // A client that took the mail but has not read the files yet: they stay
    // for it, and its folder is watched.
    client_.install({.status = 0});
    const auto unread = compose("later.txt");
    unread->setMailComposeDelegate(ending);
    send(unread, *ending);
    ASSERT_EQ(ending->results.size(), 2u);
    EXPECT_EQ(ending->results[1], MailComposeResult::Sent);
    const auto arguments = client_.arguments();
    ASSERT_EQ(arguments.size(), 7u);
    const fs::path waiting = fs::path(arguments[4]).parent_path();
    EXPECT_EQ(attachmentFolders(), std::vector<fs::path>{waiting});
    EXPECT_EQ(store::DesktopMailClient::watchedFolderCount(), 1u);
    // Reading one of the two is not enough; the second read completes it.
    EXPECT_EQ(contents(arguments[4]), "one");
    (void)core::RunLoop::main().runUntil([] { return false; }, 0.2);
    EXPECT_TRUE(fs::exists(waiting));
    EXPECT_EQ(contents(arguments[6]), "two");
    ASSERT_TRUE(
        core::RunLoop::main().runUntil([&] { return !fs::exists(waiting); }, storetest::kLimit));

    // A mail the client refused: its files go with the result.
    client_.install({.status = 3});
    const auto refused = compose("refused.txt");
    refused->setMailComposeDelegate(ending);
    send(refused, *ending);
    ASSERT_EQ(ending->results.size(), 3u);
    EXPECT_EQ(ending->results[2], MailComposeResult::Failed);
    EXPECT_TRUE(attachmentFolders().empty());
    EXPECT_EQ(store::DesktopMailClient::watchedFolderCount(), 0u);
}

TEST_F(MailClientTest, AFolderNoClientReadIsRemovedByALaterMailOnceADayOld) {
    client_.install({.status = 0});
    const auto ending = std::make_shared<storetest::MailRecorder>();
    const auto mailOne = [&](const std::string& name) {
        const auto mail = MailComposeViewController::create();
        mail->setMailComposeDelegate(ending);
        mail->addAttachmentData("x", "text/plain", name);
        send(mail, *ending);
        const auto arguments = client_.arguments();
        if (arguments.empty()) {
            ADD_FAILURE() << "the mail client was not run for " << name;
            return fs::path();
        }
        return fs::path(arguments.back()).parent_path();
    };
    const fs::path old = mailOne("old.txt");
    const fs::path recent = mailOne("recent.txt");
    // Somebody else's folder of the same look, and a file of that name.
    const fs::path parent = store::DesktopMailClient::attachmentsParent();
    std::ofstream(parent / "mail-file") << "not a folder";
    const auto dayAndMore = std::chrono::hours(25);
    fs::last_write_time(old, fs::last_write_time(old) - dayAndMore);
    fs::last_write_time(parent / "mail-file", fs::last_write_time(old));

    const fs::path next = mailOne("next.txt");
    EXPECT_FALSE(fs::exists(old)) << "a day old and never read";
    EXPECT_TRUE(fs::exists(recent)) << "its client may still read it";
    EXPECT_TRUE(fs::exists(next));
    EXPECT_TRUE(fs::exists(parent / "mail-file"));
    EXPECT_EQ(store::DesktopMailClient::watchedFolderCount(), 2u);
    fs::remove(parent / "mail-file");
}

TEST_F(MailClientTest, SendAfterTheComposerEndedStartsNoClientAndGivesNoResult) {
    client_.install({});
    const auto ending = std::make_shared<storetest::MailRecorder>();
    const auto cancelled = MailComposeViewController::create();
    cancelled->setMailComposeDelegate(ending);
    cancelled->setToRecipients({"ads@example.com"});
    (void)cancelled->view();
    cancelled->cancelButton()->sendActions(ui::ControlEvent::TouchUpInside);
    cancelled->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);
    cancelled->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);

    const auto failed = MailComposeViewController::create();
    failed->setMailComposeDelegate(ending);
    (void)failed->view();
    failed->finish(MailComposeResult::Failed, store::StoreError{store::StoreError::Unknown, "no"});
    failed->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);

    (void)core::RunLoop::main().runUntil([] { return false; }, 0.5);
    EXPECT_EQ(client_.runs(), 0u);
    EXPECT_EQ(ending->results, (std::vector<MailComposeResult>{MailComposeResult::Cancelled,
                                                               MailComposeResult::Failed}));
}

}  // namespace
