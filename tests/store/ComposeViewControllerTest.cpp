#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "StoreTesting.h"
#include "store/MailComposeViewController.h"
#include "store/MessageComposeViewController.h"
#include "support/ManualClockScope.h"
#include "ui/Button.h"
#include "ui/Window.h"

using store::MailComposeResult;
using store::MailComposeViewController;
using store::MessageComposeResult;
using store::MessageComposeViewController;

namespace {

class ComposeViewControllerTest : public testing::Test {
protected:
    void SetUp() override {
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        MailComposeViewController::setCanSendMailForTesting(false);
        MessageComposeViewController::setCanSendTextForTesting(false);
        MessageComposeViewController::setCanSendSubjectForTesting(false);
    }

    testsupport::ManualClockScope clock_;
    std::shared_ptr<ui::Window> window_ = std::make_shared<ui::Window>(gfx::Rect(0, 0, 375, 667));
    std::shared_ptr<ui::ViewController> root_ = std::make_shared<ui::ViewController>();
};

struct MessageRecorder : store::MessageComposeViewControllerDelegate {
    void messageComposeViewController(MessageComposeViewController&,
                                      MessageComposeResult result) override {
        results.push_back(result);
    }
    std::vector<MessageComposeResult> results;
};

TEST_F(ComposeViewControllerTest, NothingCanBeSentUnlessATestSaysSo) {
    EXPECT_FALSE(MailComposeViewController::canSendMail());
    EXPECT_FALSE(MessageComposeViewController::canSendText());
    EXPECT_FALSE(MessageComposeViewController::canSendSubject());
    EXPECT_EQ(MailComposeViewController::create(), nullptr);
    EXPECT_EQ(MessageComposeViewController::create(), nullptr);
    MailComposeViewController::setCanSendMailForTesting(true);
    MessageComposeViewController::setCanSendTextForTesting(true);
    MessageComposeViewController::setCanSendSubjectForTesting(true);
    EXPECT_NE(MailComposeViewController::create(), nullptr);
    EXPECT_NE(MessageComposeViewController::create(), nullptr);
    EXPECT_TRUE(MessageComposeViewController::canSendSubject());
}

TEST_F(ComposeViewControllerTest, TheMailComposerKeepsWhatItWasGivenAndReportsHowItEnded) {
    MailComposeViewController::setCanSendMailForTesting(true);
    const auto mail = MailComposeViewController::create();
    mail->setToRecipients({"ads@example.com"});
    mail->setCcRecipients({"a@example.com", "b@example.com"});
    mail->setBccRecipients({"c@example.com"});
    mail->setSubject("Hello");
    mail->setMessageBody("<b>hi</b>", true);
    EXPECT_EQ(mail->toRecipients(), std::vector<std::string>{"ads@example.com"});
    EXPECT_EQ(mail->ccRecipients(), (std::vector<std::string>{"a@example.com", "b@example.com"}));
    EXPECT_EQ(mail->bccRecipients(), std::vector<std::string>{"c@example.com"});
    EXPECT_EQ(mail->subject(), "Hello");
    EXPECT_EQ(mail->messageBody(), "<b>hi</b>");
    EXPECT_TRUE(mail->isBodyHTML());
    EXPECT_EQ(mail->summary(),
              "To: ads@example.com\nCc: a@example.com, b@example.com\nBcc: c@example.com\n"
              "Subject: Hello\n\n<b>hi</b>");

    const auto recorder = std::make_shared<storetest::MailRecorder>();
    mail->setMailComposeDelegate(recorder);
    root_->presentViewController(mail, false);
    mail->finish(MailComposeResult::Failed, store::StoreError{store::StoreError::Unknown, "no"});
    // A composer ends once: what comes after its result counts for nothing.
    mail->cancelButton()->sendActions(ui::ControlEvent::TouchUpInside);
    mail->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);
    mail->finish(MailComposeResult::Saved);
    EXPECT_EQ(recorder->results, std::vector<MailComposeResult>{MailComposeResult::Failed});
    ASSERT_FALSE(recorder->errors.empty());
    ASSERT_TRUE(recorder->errors[0]);
    EXPECT_EQ(recorder->errors[0]->message, "no");
    // The delegate decides what happens to the screen.
    EXPECT_EQ(root_->presentedViewController(), mail);
    root_->dismissViewController(false);

    // A tap ends it as finish() does; without a delegate the composer goes
    // away by itself.
    for (const bool send : {false, true}) {
        const auto tapped = MailComposeViewController::create();
        ASSERT_TRUE(tapped);
        const auto heard = std::make_shared<storetest::MailRecorder>();
        tapped->setMailComposeDelegate(heard);
        root_->presentViewController(tapped, false);
        (send ? tapped->sendButton() : tapped->cancelButton())
            ->sendActions(ui::ControlEvent::TouchUpInside);
        EXPECT_EQ(heard->results,
                  std::vector<MailComposeResult>{send ? MailComposeResult::Sent
                                                      : MailComposeResult::Cancelled});
        ASSERT_FALSE(heard->errors.empty());
        EXPECT_FALSE(heard->errors[0]);
        root_->dismissViewController(false);
    }
    const auto alone = MailComposeViewController::create();
    root_->presentViewController(alone, false);
    alone->finish(MailComposeResult::Saved);
    clock_.advance(0.5);
    EXPECT_EQ(root_->presentedViewController(), nullptr);
}

TEST_F(ComposeViewControllerTest, TheMessageComposerKeepsWhatItWasGivenAndReportsHowItEnded) {
    MessageComposeViewController::setCanSendTextForTesting(true);
    const auto message = MessageComposeViewController::create();
    message->setRecipients({"+15550001", "+15550002"});
    message->setBody("hi");
    EXPECT_EQ(message->summary(), "To: +15550001, +15550002\n\nhi");
    message->setSubject("Re");
    EXPECT_EQ(message->recipients(), (std::vector<std::string>{"+15550001", "+15550002"}));
    EXPECT_EQ(message->body(), "hi");
    EXPECT_EQ(message->subject(), "Re");

    const auto recorder = std::make_shared<MessageRecorder>();
    message->setMessageComposeDelegate(recorder);
    root_->presentViewController(message, false);
    message->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);
    // One result: what comes after it counts for nothing.
    message->finish(MessageComposeResult::Failed);
    message->cancelButton()->sendActions(ui::ControlEvent::TouchUpInside);
    EXPECT_EQ(recorder->results, std::vector<MessageComposeResult>{MessageComposeResult::Sent});
    EXPECT_EQ(root_->presentedViewController(), message);
    root_->dismissViewController(false);

    const auto alone = MessageComposeViewController::create();
    root_->presentViewController(alone, false);
    alone->cancelButton()->sendActions(ui::ControlEvent::TouchUpInside);
    clock_.advance(0.5);
    EXPECT_EQ(root_->presentedViewController(), nullptr);
}

// The mail composer's Send after its end: MailClientTest, where Send would
// start the mail client.
TEST_F(ComposeViewControllerTest, SendAfterTheMessageComposerEndedDoesNothing) {
    MessageComposeViewController::setCanSendTextForTesting(true);
    const auto message = MessageComposeViewController::create();
    const auto heard = std::make_shared<MessageRecorder>();
    message->setMessageComposeDelegate(heard);
    root_->presentViewController(message, false);
    message->cancelButton()->sendActions(ui::ControlEvent::TouchUpInside);
    message->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);
    message->sendButton()->sendActions(ui::ControlEvent::TouchUpInside);
    EXPECT_EQ(heard->results, std::vector<MessageComposeResult>{MessageComposeResult::Cancelled});
    EXPECT_EQ(root_->presentedViewController(), message) << "the delegate decides";
    root_->dismissViewController(false);
}

}  // namespace
