// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui_mainwindow.h"

#include <QtTest>

// Checks the main window form on its own, without the program logic behind it.
class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void window();
    void tabs();
    void widgets_data();
    void widgets();
    void headings_data();
    void headings();
    void settingRows_data();
    void settingRows();
    void spinBoxes_data();
    void spinBoxes();
    void selectorsStartEmpty();
    void weatherGrid_data();
    void weatherGrid();
    void weatherGridEmptyCells();
    void cameraViews();
    void menus_data();
    void menus();
    void menuBarOrder();
    void actions_data();
    void actions();
    void unplacedActionsHaveNoEntry();
    void reportingSlotConnectsByName();

private:
    QMainWindow *m_window = nullptr;
    Ui::MainWindow m_ui;
};

namespace {

// Records the reporting combo box slot that the form connects by name.
class ReportingReceiver : public QMainWindow
{
    Q_OBJECT

public:
    QList<int> indexes;

public slots:
    void on_reportingComboBox_currentIndexChanged(int index) { indexes.append(index); }
};

QStringList menuEntries(const QMenu *menu)
{
    QStringList entries;
    const QList<QAction *> actions = menu->actions();
    for (const QAction *action : actions) {
        if (action->isSeparator())
            entries << QStringLiteral("-");
        else if (action->menu())
            entries << QLatin1Char('>') + action->menu()->objectName();
        else
            entries << action->objectName();
    }
    return entries;
}

} // namespace

void TestMainWindowForm::initTestCase()
{
    m_window = new QMainWindow;
    m_ui.setupUi(m_window);
}

void TestMainWindowForm::cleanupTestCase()
{
    delete m_window;
}

void TestMainWindowForm::window()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("KTR Control"));
    QCOMPARE(m_window->size(), QSize(900, 750));
    QCOMPARE(m_window->minimumSize(), QSize(900, 750));
    QCOMPARE(m_window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QCOMPARE(m_window->centralWidget(), m_ui.centralWidget);
    QCOMPARE(m_window->statusBar(), m_ui.statusBar);
    QCOMPARE(m_window->menuBar(), m_ui.menuBar);
    QVERIFY(qobject_cast<QVBoxLayout *>(m_ui.centralWidget->layout()));
    QCOMPARE(m_ui.centralWidget->layout()->indexOf(m_ui.tabWidget), 0);
}

void TestMainWindowForm::tabs()
{
    QCOMPARE(m_ui.tabWidget->count(), 2);
    QCOMPARE(m_ui.tabWidget->widget(0), m_ui.tab_2);
    QCOMPARE(m_ui.tabWidget->widget(1), m_ui.tab);
    QCOMPARE(m_ui.tabWidget->tabText(0), QStringLiteral("Control View"));
    QCOMPARE(m_ui.tabWidget->tabText(1), QStringLiteral("Data View"));
    QCOMPARE(m_ui.tabWidget->currentIndex(), 0);
}

void TestMainWindowForm::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("page"); // tab page object name the widget sits on
    QTest::addColumn<QString>("text"); // null: not checked

    const QString control = QStringLiteral("tab_2");
    const QString data = QStringLiteral("tab");
    const struct
    {
        const char *name;
        const char *className;
        const QString &page;
        const char *text;
    } rows[] = {
        {"groupBox_3", "QGroupBox", control, nullptr},
        {"firmwareLabel", "QLabel", control, "Firmware:"},
        {"firmwareValLabel", "QLabel", control, "-"},
        {"unitLabel", "QLabel", control, "IMEI:"},
        {"unitValLabel", "QLabel", control, "-"},
        {"settingGroupBox", "QGroupBox", control, nullptr},
        {"label_28", "QLabel", control, "Configuration"},
        {"reportingLabel", "QLabel", control, "Reporting Mode"},
        {"reportingComboBox", "QComboBox", control, nullptr},
        {"label", "QLabel", control, "GPS"},
        {"spinBox", "QSpinBox", control, nullptr},
        {"gpsComboBox", "QComboBox", control, nullptr},
        {"imgLabel", "QLabel", control, "Camera"},
        {"spinBoxCamera", "QSpinBox", control, nullptr},
        {"imgComboBox", "QComboBox", control, nullptr},
        {"ceilometerLabel", "QLabel", control, "Ceilometer"},
        {"ceilComboBox", "QComboBox", control, nullptr},
        {"audioLabel", "QLabel", control, "Acoustic"},
        {"audioSpinBox", "QSpinBox", control, nullptr},
        {"audioComboBox", "QComboBox", control, nullptr},
        {"speciLabel", "QLabel", control, "SPECI Mode"},
        {"speciComboBox", "QComboBox", control, nullptr},
        {"updatePushButton", "QPushButton", control, "Send Command"},
        {"label_CommandNote", "QLabel", control, nullptr},
        {"labelForwardingTimeLeft", "QLabel", control, nullptr},
        {"groupBox", "QGroupBox", control, nullptr},
        {"label_25", "QLabel", control, "Raw Data"},
        {"plainTextEdit", "QPlainTextEdit", control, nullptr},
        {"idleLabel", "QLabel", control, nullptr},
        {"groupBox_2", "QGroupBox", data, nullptr},
        {"label_26", "QLabel", data, "METAR"},
        {"textEditMetar", "QTextEdit", data, nullptr},
        {"groupBox_5", "QGroupBox", data, nullptr},
        {"label_27", "QLabel", data, "Weather Data"},
        {"groupBox_6", "QGroupBox", data, nullptr},
        {"label_74", "QLabel", data, "Camera Images"},
        {"cam1Label", "QLabel", data, nullptr},
        {"cam2Label", "QLabel", data, nullptr},
        {"cam3Label", "QLabel", data, nullptr},
        {"cam4Label", "QLabel", data, nullptr},
        {"cam1TextLabel", "QLabel", data, nullptr},
        {"cam2TextLabel", "QLabel", data, nullptr},
        {"cam3TextLabel", "QLabel", data, nullptr},
        {"cam4TextLabel", "QLabel", data, nullptr},
    };
    for (const auto &row : rows) {
        QTest::newRow(row.name) << QString::fromLatin1(row.name) << QString::fromLatin1(row.className)
                                << row.page
                                << (row.text ? QString::fromUtf8(row.text) : QString());
    }
}

void TestMainWindowForm::widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QString, page);
    QFETCH(QString, text);

    const QList<QWidget *> found = m_window->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QWidget *widget = found.first();
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);

    QWidget *pageWidget = m_window->findChild<QWidget *>(page);
    QVERIFY(pageWidget);
    QVERIFY(pageWidget->isAncestorOf(widget));

    if (!text.isNull()) {
        if (auto *label = qobject_cast<QLabel *>(widget))
            QCOMPARE(label->text(), text);
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            QCOMPARE(button->text(), text);
        else
            QFAIL("text given for a widget without text");
    }
}

void TestMainWindowForm::headings_data()
{
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("group");

    QTest::newRow("Configuration") << "label_28" << "settingGroupBox";
    QTest::newRow("Raw Data") << "label_25" << "groupBox";
    QTest::newRow("METAR") << "label_26" << "groupBox_2";
    QTest::newRow("Weather Data") << "label_27" << "groupBox_5";
    QTest::newRow("Camera Images") << "label_74" << "groupBox_6";
}

void TestMainWindowForm::headings()
{
    QFETCH(QString, heading);
    QFETCH(QString, group);

    auto *label = m_window->findChild<QLabel *>(heading);
    auto *box = m_window->findChild<QGroupBox *>(group);
    QVERIFY(label && box);
    QCOMPARE(label->styleSheet(), QStringLiteral("color: dimgray"));
    QCOMPARE(label->parentWidget(), box);
    // The heading comes first in its group.
    QCOMPARE(box->layout()->indexOf(label), 0);
}

void TestMainWindowForm::settingRows_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("widgets"); // left to right

    QTest::newRow("reporting") << "horizontalLayout_Reporting"
                               << QStringList{"reportingLabel", "reportingComboBox"};
    QTest::newRow("gps") << "horizontalLayout_Gps" << QStringList{"label", "spinBox", "gpsComboBox"};
    QTest::newRow("camera") << "horizontalLayout_Camera"
                            << QStringList{"imgLabel", "spinBoxCamera", "imgComboBox"};
    QTest::newRow("ceilometer") << "horizontalLayout_Ceilometer"
                                << QStringList{"ceilometerLabel", "ceilComboBox"};
    QTest::newRow("audio") << "horizontalLayout_Audio"
                           << QStringList{"audioLabel", "audioSpinBox", "audioComboBox"};
    QTest::newRow("speci") << "horizontalLayout_Speci" << QStringList{"speciLabel", "speciComboBox"};
}

void TestMainWindowForm::settingRows()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, widgets);

    auto *row = m_window->findChild<QHBoxLayout *>(layout);
    QVERIFY(row);
    QStringList names;
    for (int i = 0; i < row->count(); ++i) {
        if (QWidget *widget = row->itemAt(i)->widget())
            names << widget->objectName();
    }
    QCOMPARE(names, widgets);
}

void TestMainWindowForm::spinBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");

    QTest::newRow("elevation") << "spinBox" << -9999 << 9999 << 0;
    QTest::newRow("camera") << "spinBoxCamera" << 1 << 4 << 1;
    QTest::newRow("audio") << "audioSpinBox" << 0 << 29 << 0;
}

void TestMainWindowForm::spinBoxes()
{
    QFETCH(QString, name);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);

    auto *box = m_window->findChild<QSpinBox *>(name);
    QVERIFY(box);
    QCOMPARE(box->minimum(), minimum);
    QCOMPARE(box->maximum(), maximum);
    QCOMPARE(box->value(), value);
    QVERIFY(box->alignment() & Qt::AlignRight);
    QCOMPARE(box->buttonSymbols(), QAbstractSpinBox::NoButtons);

    // Out-of-range input is clamped, not taken.
    box->setValue(maximum + 1);
    QCOMPARE(box->value(), maximum);
    box->setValue(minimum - 1);
    QCOMPARE(box->value(), minimum);
    box->setValue(value);
}

void TestMainWindowForm::selectorsStartEmpty()
{
    const QList<QComboBox *> boxes = m_window->findChildren<QComboBox *>();
    QCOMPARE(boxes.size(), 6);
    for (const QComboBox *box : boxes)
        QVERIFY2(box->count() == 0, qPrintable(box->objectName()));
    QVERIFY(m_ui.plainTextEdit->isReadOnly());
    QVERIFY(m_ui.textEditMetar->isReadOnly());
    QVERIFY(m_ui.label_CommandNote->wordWrap());
}

void TestMainWindowForm::weatherGrid_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("pair");

    const char *const grid[11][3][2] = {
        {{"Wind Direction:", "lineEditWindDir"}, {"Max Wind Direction:", "lineEditMaxWindDir"},
         {"Latitude:", "lineEditLat"}},
        {{"Wind Speed:", "lineEditWindSpeed"}, {"Max Wind Speed:", "lineEditMaxWindSpeed"},
         {"Longitude:", "lineEditLon"}},
        {{"Visibility:", "lineEditVisibility"}, {nullptr, nullptr}, {"Elevation:", "lineEditElevation"}},
        {{"Present Weather:", "lineEditPresentWeather"}, {"Precipitation:", "lineEditPrecipitation"},
         {nullptr, nullptr}},
        {{"Cloud Layers:", "lineEditCloudLayers"}, {"Ceilometer Hits:", "lineEditCeilometerHits"},
         {"Tilt:", "lineEditTilt"}},
        {{"Temperature:", "lineEditTemperature"}, {"Wind Chill Index:", "lineEditWindChill"},
         {"Orientation:", "lineEditOrientation"}},
        {{"Dew Point:", "lineEditDewPoint"}, {"Heat Index:", "lineEditHeatIndex"}, {"Voltage:", "lineEditVoltage"}},
        {{"Relative Humidity:", "lineEditHumidity"}, {nullptr, nullptr}, {"Mode:", "lineEditMode"}},
        {{"Altimeter:", "lineEditAltimeter"}, {"Station Pressure:", "lineEditStationPressure"},
         {"Interference:", "lineEditInterference"}},
        {{"Lightning Freq:", "lineEditLightningFreq"}, {"Pressure Altitude:", "lineEditPressureAltitude"},
         {"Tampering:", "lineEditTampering"}},
        {{"Lightning Distance:", "lineEditLightningDistance"}, {"Density Altitude:", "lineEditDensityAltitude"},
         {nullptr, nullptr}},
    };
    for (int row = 0; row < 11; ++row) {
        for (int pair = 0; pair < 3; ++pair) {
            const char *caption = grid[row][pair][0];
            const char *edit = grid[row][pair][1];
            if (edit)
                QTest::newRow(edit) << QString::fromLatin1(edit) << QString::fromLatin1(caption) << row << pair;
        }
    }
}

void TestMainWindowForm::weatherGrid()
{
    QFETCH(QString, edit);
    QFETCH(QString, caption);
    QFETCH(int, row);
    QFETCH(int, pair);

    const QList<QLineEdit *> found = m_window->findChildren<QLineEdit *>(edit);
    QCOMPARE(found.size(), 1);
    QLineEdit *lineEdit = found.first();
    QVERIFY(lineEdit->isReadOnly());
    QCOMPARE(lineEdit->styleSheet(), QStringLiteral("border: 1px solid lightgray"));
    QVERIFY(lineEdit->text().isEmpty());

    QGridLayout *grid = m_ui.gridLayout_3;
    const int index = grid->indexOf(lineEdit);
    QVERIFY(index >= 0);
    int gridRow = -1, gridColumn = -1, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &gridRow, &gridColumn, &rowSpan, &columnSpan);
    QCOMPARE(gridRow, row);
    QCOMPARE(gridColumn, 2 * pair + 1);

    QLayoutItem *captionItem = grid->itemAtPosition(row, 2 * pair);
    QVERIFY(captionItem);
    auto *label = qobject_cast<QLabel *>(captionItem->widget());
    QVERIFY(label);
    QCOMPARE(label->text(), caption);
}

void TestMainWindowForm::weatherGridEmptyCells()
{
    const QList<QPoint> emptyCells{{2, 1}, {3, 2}, {7, 1}, {10, 2}}; // (row, pair)
    QGridLayout *grid = m_ui.gridLayout_3;
    QCOMPARE(grid->rowCount(), 11);
    QCOMPARE(grid->columnCount(), 6);
    for (const QPoint &cell : emptyCells) {
        QLayoutItem *item = grid->itemAtPosition(cell.x(), 2 * cell.y());
        QVERIFY(item);
        auto *label = qobject_cast<QLabel *>(item->widget());
        QVERIFY(label);
        QVERIFY(label->text().isEmpty());
        QCOMPARE(grid->itemAtPosition(cell.x(), 2 * cell.y() + 1), item);
    }
    QCOMPARE(m_ui.groupBox_5->findChildren<QLineEdit *>().size(), 29);
}

void TestMainWindowForm::cameraViews()
{
    QLabel *const views[4] = {m_ui.cam1Label, m_ui.cam2Label, m_ui.cam3Label, m_ui.cam4Label};
    QLabel *const captions[4] = {m_ui.cam1TextLabel, m_ui.cam2TextLabel, m_ui.cam3TextLabel, m_ui.cam4TextLabel};
    for (int i = 0; i < 4; ++i) {
        // The 4:3 views draw the 4:3 pictures whole, whatever the window size.
        QVERIFY(views[i]->hasScaledContents());
        QCOMPARE(views[i]->alignment(), Qt::Alignment(Qt::AlignCenter));
        int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
        m_ui.gridLayout->getItemPosition(m_ui.gridLayout->indexOf(views[i]), &row, &column, &rowSpan, &columnSpan);
        int captionRow = -1, captionColumn = -1;
        m_ui.gridLayout->getItemPosition(m_ui.gridLayout->indexOf(captions[i]), &captionRow, &captionColumn,
                                         &rowSpan, &columnSpan);
        QCOMPARE(column, i);
        QCOMPARE(captionColumn, column);
        QCOMPARE(captionRow, row + 1);
    }
}

void TestMainWindowForm::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("Settings") << "menuOptions" << "Settings"
                              << QStringList{">menuComPort", "-", "actionExit"};
    QTest::newRow("Data Options") << "menuData_Forwarding" << "Data Options"
                                  << QStringList{"actionEnableDataLogging", "-", "actionEnableForwarding",
                                                 "actionDataForwarding"};
    QTest::newRow("Advanced") << "menuAdvanced" << "Advanced"
                              << QStringList{"actionEnableDemoMode", "actionAutomaticImageRequest"};
    QTest::newRow("Help") << "menuHelp" << "Help" << QStringList{"actionContents", "-", "actionAbout_2"};
    QTest::newRow("COM Port") << "menuComPort" << "COM Port" << QStringList();
}

void TestMainWindowForm::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QStringList, entries);

    auto *found = m_window->findChild<QMenu *>(menu);
    QVERIFY(found);
    QCOMPARE(found->title(), title);
    QCOMPARE(menuEntries(found), entries);
}

void TestMainWindowForm::menuBarOrder()
{
    QStringList bar;
    const QList<QAction *> barActions = m_ui.menuBar->actions();
    for (const QAction *action : barActions) {
        QVERIFY(action->menu());
        bar << action->menu()->objectName();
    }
    QCOMPARE(bar, (QStringList{"menuOptions", "menuData_Forwarding", "menuAdvanced", "menuHelp"}));
}

void TestMainWindowForm::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip"); // null: the default tool tip (the text without '&')
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("checked");

    const struct
    {
        const char *name;
        const char *text;
        const char *toolTip;
        const char *shortcut;
        bool checkable;
        bool checked;
    } rows[] = {
        {"actionExit", "Exit KTR Control", nullptr, "", false, false},
        {"actionEnableDataLogging", "Enable Data Logging (Default: Enabled)", nullptr, "", true, true},
        {"actionEnableForwarding", "Enable Data Forwarding", "Configure forwarding settings first", "", true, false},
        {"actionDataForwarding", "Configure...", nullptr, "", false, false},
        {"actionEnableDemoMode", "Enable Demo Mode", nullptr, "", true, false},
        {"actionAutomaticImageRequest", "Automatic Image Request (20min Interval)", nullptr, "", true, false},
        {"actionContents", "Contents", nullptr, "", false, false},
        {"actionAbout_2", "About", nullptr, "", false, false},
        {"actionAbout", "&About", "About program", "Alt+A", false, false},
        {"actionAboutQt", "About Qt", nullptr, "", false, false},
        {"actionConnect", "C&onnect", "Connect to serial port", "Ctrl+O", false, false},
        {"actionDisconnect", "&Disconnect", "Disconnect from serial port", "Ctrl+D", false, false},
        {"actionConfigure", "&Configure", "Configure serial port", "Alt+C", false, false},
        {"actionClear", "C&lear", "Clear data", "Alt+L", false, false},
        {"actionQuit", "&Quit", nullptr, "Ctrl+Q", false, false},
        {"actionAlignLeft", "alignLeft", nullptr, "", false, false},
        {"actionForward_Data", "Data Forwarding", nullptr, "", true, false},
        {"actionEnable_Logging", "Enable Logging", nullptr, "", false, false},
        {"actionNone", "None", nullptr, "", false, false},
        {"actionOnly_Log_Data_Synced_to_Reporting_Mode", "Only Log Data Synced to Reporting Mode (CSV Only)",
         nullptr, "", true, true},
    };
    for (const auto &row : rows) {
        QTest::newRow(row.name) << QString::fromLatin1(row.name) << QString::fromLatin1(row.text)
                                << (row.toolTip ? QString::fromLatin1(row.toolTip) : QString())
                                << QString::fromLatin1(row.shortcut) << row.checkable << row.checked;
    }
}

void TestMainWindowForm::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, shortcut);
    QFETCH(bool, checkable);
    QFETCH(bool, checked);

    const QList<QAction *> found = m_window->findChildren<QAction *>(name);
    QCOMPARE(found.size(), 1);
    QAction *action = found.first();
    QCOMPARE(action->text(), text);
    if (!toolTip.isNull())
        QCOMPARE(action->toolTip(), toolTip);
    QCOMPARE(action->shortcut(), QKeySequence(shortcut));
    QCOMPARE(action->isCheckable(), checkable);
    QCOMPARE(action->isChecked(), checked);
    QVERIFY(action->isEnabled());
    QVERIFY(action->isVisible());
}

void TestMainWindowForm::unplacedActionsHaveNoEntry()
{
    const QStringList unplaced{"actionAbout",      "actionAboutQt",       "actionConnect",
                               "actionDisconnect", "actionConfigure",     "actionClear",
                               "actionQuit",       "actionAlignLeft",     "actionForward_Data",
                               "actionEnable_Logging", "actionNone",
                               "actionOnly_Log_Data_Synced_to_Reporting_Mode"};
    QSet<QAction *> placed;
    const QList<QMenu *> menus = m_window->findChildren<QMenu *>();
    for (const QMenu *menu : menus) {
        const QList<QAction *> actions = menu->actions();
        for (QAction *action : actions)
            placed.insert(action);
    }
    for (const QString &name : unplaced) {
        auto *action = m_window->findChild<QAction *>(name);
        QVERIFY2(action, qPrintable(name));
        QVERIFY2(!placed.contains(action), qPrintable(name));
        // Without an associated widget its shortcut is never active.
        QVERIFY2(action->associatedWidgets().isEmpty(), qPrintable(name));
    }
    // Every other action of the form has exactly one menu entry.
    const QList<QAction *> all = m_window->findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly);
    for (QAction *action : all) {
        if (!action->objectName().isEmpty() && !unplaced.contains(action->objectName()))
            QVERIFY2(placed.contains(action), qPrintable(action->objectName()));
    }
}

void TestMainWindowForm::reportingSlotConnectsByName()
{
    ReportingReceiver receiver;
    Ui::MainWindow ui;
    ui.setupUi(&receiver);
    ui.reportingComboBox->addItems({QStringLiteral("No command"), QStringLiteral("3 Hour")});
    ui.reportingComboBox->setCurrentIndex(1);
    ui.reportingComboBox->setCurrentIndex(0);
    // Only the int overload is connected, so each change arrives once.
    QCOMPARE(receiver.indexes, (QList<int>{0, 1, 0}));
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
