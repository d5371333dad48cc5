// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogabout.h"
#include "ui/dialoghelp.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextList>
#include <QtTest>

// The about and help dialogs and the resources they show.
class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void resourcesLoad_data();
    void resourcesLoad();

    void aboutForm();
    void aboutVersion();
    void aboutShownTwiceIsOneDialog();
    void aboutOkCloses();

    void helpForm();
    void helpLoadsPage();
    void helpAnchors();
    void helpLinksResolve();
    void helpFaq_data();
    void helpFaq();
    void helpMentions_data();
    void helpMentions();
    void helpCloseButton();
    void helpKeepsPageWhenShownAgain();

private:
    static QStringList anchorNames(const QTextDocument *document);
    static QStringList internalLinks(const QTextDocument *document);
};

namespace {

int visibleAboutDialogs()
{
    int count = 0;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (const QWidget *widget : widgets) {
        if (qobject_cast<const DialogAbout *>(widget) && widget->isVisible())
            ++count;
    }
    return count;
}

} // namespace

QStringList TestDialogs::anchorNames(const QTextDocument *document)
{
    QStringList names;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            names << it.fragment().charFormat().anchorNames();
    }
    return names;
}

QStringList TestDialogs::internalLinks(const QTextDocument *document)
{
    QStringList links;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString href = it.fragment().charFormat().anchorHref();
            if (href.startsWith(QLatin1Char('#')))
                links << href.mid(1);
        }
    }
    return links;
}

void TestDialogs::resourcesLoad_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("logo") << ":/vorsetti-logo.png";
    QTest::newRow("icon") << ":/ktr-control.png";
}

void TestDialogs::resourcesLoad()
{
    QFETCH(QString, path);

    const QPixmap pixmap(path);
    QVERIFY(!pixmap.isNull());
    QVERIFY(pixmap.width() >= 64);
    QVERIFY(pixmap.height() >= 64);
    // Both must fit the about dialog.
    QVERIFY(pixmap.width() <= 330);
}

void TestDialogs::aboutForm()
{
    DialogAbout dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About"));
    QCOMPARE(dialog.size(), QSize(350, 333));
    QCOMPARE(dialog.windowModality(), Qt::ApplicationModal);
    QCOMPARE(dialog.styleSheet(), QStringLiteral("background: white"));

    auto *logo = dialog.findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(logo);
    QVERIFY(logo->pixmap(Qt::ReturnByValue).toImage() == QPixmap(QStringLiteral(":/vorsetti-logo.png")).toImage());
    QVERIFY(!logo->pixmap(Qt::ReturnByValue).isNull());

    auto *version = dialog.findChild<QLabel *>(QStringLiteral("labelVersion"));
    QVERIFY(version);
    QCOMPARE(version->text(), QStringLiteral("KTR Control"));
    QCOMPARE(version->font().pointSize(), 10);

    auto *notice = dialog.findChild<QLabel *>(QStringLiteral("label_3"));
    QVERIFY(notice);
    QVERIFY(notice->text().contains(QStringLiteral("Copyright")));

    auto *button = dialog.findChild<QPushButton *>(QStringLiteral("pushButtonClose"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("OK"));
}

void TestDialogs::aboutVersion()
{
    DialogAbout dialog;
    auto *version = dialog.findChild<QLabel *>(QStringLiteral("labelVersion"));
    dialog.setVersion(QStringLiteral("KTR Control v2.14"));
    QCOMPARE(version->text(), QStringLiteral("KTR Control v2.14"));
    dialog.setVersion(QStringLiteral("KTR Control v3.0"));
    QCOMPARE(version->text(), QStringLiteral("KTR Control v3.0"));
}

void TestDialogs::aboutShownTwiceIsOneDialog()
{
    DialogAbout dialog;
    QCOMPARE(visibleAboutDialogs(), 0);
    dialog.show();
    dialog.show();
    QVERIFY(dialog.isVisible());
    QCOMPARE(visibleAboutDialogs(), 1);
}

void TestDialogs::aboutOkCloses()
{
    DialogAbout dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *button = dialog.findChild<QPushButton *>(QStringLiteral("pushButtonClose"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());

    // The same dialog opens again after being closed.
    dialog.show();
    QVERIFY(dialog.isVisible());
}

void TestDialogs::helpForm()
{
    DialogHelp dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Help"));
    QCOMPARE(dialog.size(), QSize(800, 600));
    QCOMPARE(dialog.minimumSize(), QSize(600, 400));

    auto *browser = dialog.findChild<QTextBrowser *>();
    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    QVERIFY(browser && buttons);
    QCOMPARE(browser->frameShadow(), QFrame::Plain);
    // Browser above the buttons.
    QVERIFY(dialog.layout()->indexOf(browser) < dialog.layout()->indexOf(buttons));
    QCOMPARE(buttons->buttons().size(), 1);
    QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Close);
    QCOMPARE(buttons->button(QDialogButtonBox::Close)->text(), QStringLiteral("Close"));
}

void TestDialogs::helpLoadsPage()
{
    DialogHelp dialog;
    auto *browser = dialog.findChild<QTextBrowser *>();
    QCOMPARE(browser->source(), QUrl(QStringLiteral("qrc:/help.html")));
    const QTextDocument *document = browser->document();
    QCOMPARE(document->metaInformation(QTextDocument::DocumentTitle), QStringLiteral("KTR Control Help"));
    const QString text = browser->toPlainText();
    QVERIFY(text.startsWith(QStringLiteral("KTR Control")));
    QVERIFY(text.contains(QStringLiteral("RESTRICTED RIGHTS")));
    QVERIFY(document->firstBlock().blockFormat().alignment() & Qt::AlignHCenter);
    QVERIFY(document->firstBlock().blockFormat().headingLevel() == 1);
}

void TestDialogs::helpAnchors()
{
    DialogHelp dialog;
    const QStringList names = anchorNames(dialog.findChild<QTextBrowser *>()->document());
    const QStringList expected{"Overview", "ConfigurationControls", "DataLogging", "Usage", "FAQ"};
    for (const QString &anchor : expected)
        QVERIFY2(names.contains(anchor), qPrintable(anchor));
}

void TestDialogs::helpLinksResolve()
{
    DialogHelp dialog;
    const QTextDocument *document = dialog.findChild<QTextBrowser *>()->document();
    const QStringList names = anchorNames(document);
    const QStringList links = internalLinks(document);
    QVERIFY(links.size() >= 5);
    for (const QString &link : links)
        QVERIFY2(names.contains(link), qPrintable(link));
}

void TestDialogs::helpFaq_data()
{
    QTest::addColumn<QString>("question");

    QTest::newRow("not seen") << "The unit is connected to the computer, but the software does not see it";
    QTest::newRow("no data") << "The unit is connected to the computer, but the unit is not reporting data";
    QTest::newRow("no response") << "A unit has not responded to my requested configuration commands";
    QTest::newRow("unreadable") << "Unreadable data was recieved";
}

void TestDialogs::helpFaq()
{
    QFETCH(QString, question);

    DialogHelp dialog;
    const QTextDocument *document = dialog.findChild<QTextBrowser *>()->document();
    const QString faqStart = QStringLiteral("Frequently Asked Questions");
    bool inFaq = false;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.text().trimmed() == faqStart && block.blockFormat().headingLevel() == 2)
            inFaq = true;
        if (!inFaq || block.text().trimmed() != question)
            continue;
        QVERIFY(block.blockFormat().headingLevel() > 0);
        // The question is followed by a numbered list of remedies.
        const QTextBlock first = block.next();
        QVERIFY(first.textList());
        QCOMPARE(first.textList()->format().style(), QTextListFormat::ListDecimal);
        QVERIFY(first.textList()->count() >= 3);
        return;
    }
    QFAIL("question not found as a heading in the FAQ section");
}

void TestDialogs::helpMentions_data()
{
    QTest::addColumn<QString>("phrase");

    const char *const phrases[] = {
        "Control View", "Data View", "No command", "Send Command", "Cancel Send Request",
        "every time the station powers up", "KTR Control Data", "Documents", "Raw", "CSV", "Image",
        "Audio", "Auxiliary", "enabled by default", "PCtime", "Cam2.jpg", "Settings > COM Port",
        "3 Hour", "Disable Lat/Lon", "Request Single Camera", "Enable Always",
    };
    for (const char *phrase : phrases)
        QTest::newRow(phrase) << QString::fromLatin1(phrase);
}

void TestDialogs::helpMentions()
{
    QFETCH(QString, phrase);

    DialogHelp dialog;
    const QString text = dialog.findChild<QTextBrowser *>()->toPlainText().simplified();
    QVERIFY2(text.contains(phrase), qPrintable(phrase));
}

void TestDialogs::helpCloseButton()
{
    DialogHelp dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::mouseClick(buttons->button(QDialogButtonBox::Close), Qt::LeftButton);
    QCOMPARE(rejected.count(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestDialogs::helpKeepsPageWhenShownAgain()
{
    DialogHelp dialog;
    auto *browser = dialog.findChild<QTextBrowser *>();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    browser->scrollToAnchor(QStringLiteral("FAQ"));
    const int position = browser->verticalScrollBar()->value();
    QVERIFY(position > 0);
    const QTextDocument *document = browser->document();

    dialog.hide();
    dialog.show();
    dialog.raise();
    QCOMPARE(browser->document(), document);
    QCOMPARE(browser->verticalScrollBar()->value(), position);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
