// SPDX-License-Identifier: MIT
// Purpose: the main window as drawn: size, caption, furniture, fonts, tab order and gradient colours.
#include "app/gradient_panel.h"
#include "app/main_form.h"
#include "fake_desktop.h"

#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace enlazio;
using enlazio::test::FakeDesktop;

class WindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void windowFrame();
    void furniture_data();
    void furniture();
    void fonts_data();
    void fonts();
    void tabOrder();
    void gradients_data();
    void gradients();
    void versionLabelIsRed();
    void embeddedWindowHasNoBorder();
    void returnPressesFocusedButton();

private:
    FakeDesktop m_desktop;
    std::unique_ptr<TMForm> m_form;
};

void WindowTest::init()
{
    m_form = std::make_unique<TMForm>(m_desktop, std::vector<std::string> {});
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void WindowTest::cleanup()
{
    m_form.reset();
}

void WindowTest::windowFrame()
{
    QCOMPARE(m_form->objectName(), QString("MForm"));
    QCOMPARE(m_form->windowTitle(), QString("Exportar e importar datos entre Aularis y Delphos "));
    QCOMPARE(m_form->size(), QSize(632, 266));
    QCOMPARE(m_form->minimumSize(), QSize(632, 266));
    QCOMPARE(m_form->maximumSize(), QSize(632, 266));
    const Qt::WindowFlags flags = m_form->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::FramelessWindowHint));
    // Centred on the screen: half the difference of the sizes.
    const QRect screen = m_form->screen()->geometry();
    QCOMPARE(m_form->pos(),
             screen.topLeft() + QPoint((screen.width() - 632) / 2, (screen.height() - 266) / 2));
}

void WindowTest::furniture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("glyph");

    QTest::newRow("Draw3D2") << "Draw3D2" << "MForm" << QRect(1, 0, 315, 169) << "" << false;
    QTest::newRow("Draw3D3") << "Draw3D3" << "MForm" << QRect(316, 0, 317, 169) << "" << false;
    QTest::newRow("Draw3D1") << "Draw3D1" << "MForm" << QRect(0, 168, 633, 97) << "" << false;
    QTest::newRow("Label3") << "Label3" << "Draw3D2" << QRect(24, 24, 265, 57)
                            << "Transformar datos desde Delphos hacia Aularis " << false;
    QTest::newRow("Label4") << "Label4" << "Draw3D3" << QRect(8, 24, 305, 57)
                            << "Transformar datos desde Aularis hacia Delphos" << false;
    QTest::newRow("Label1") << "Label1" << "Draw3D1" << QRect(8, 72, 165, 13) << "Enlazia V-2.5" << false;
    QTest::newRow("BExportar") << "BExportar" << "Draw3D2" << QRect(96, 120, 89, 25) << "Aceptar" << true;
    QTest::newRow("BImportar") << "BImportar" << "Draw3D3" << QRect(96, 120, 89, 25) << "Aceptar" << true;
    QTest::newRow("BClose") << "BClose" << "Draw3D1" << QRect(256, 32, 89, 25) << "&Salir" << true;
    QTest::newRow("Button1") << "Button1" << "Draw3D1" << QRect(264, 63, 75, 18) << "F1 AYUDA" << false;
}

void WindowTest::furniture()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, glyph);

    auto* widget = m_form->findChild<QWidget*>(name);
    QVERIFY2(widget != nullptr, qPrintable(name));
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(widget->geometry(), geometry);
    QVERIFY(widget->isVisible());
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(label->text(), text);
        QVERIFY(!label->autoFillBackground()); // transparent over the gradient
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QCOMPARE(button->text(), text);
        QCOMPARE(!button->icon().isNull(), glyph);
        QVERIFY(!button->accessibleName().isEmpty());
    } else {
        QVERIFY(qobject_cast<GradientPanel*>(widget) != nullptr);
    }
}

void WindowTest::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<bool>("wrapped");

    const QColor text = QPalette().color(QPalette::WindowText);
    QTest::newRow("Label3") << "Label3" << 16 << true << text << true;
    QTest::newRow("Label4") << "Label4" << 16 << true << text << true;
    QTest::newRow("Label1") << "Label1" << 11 << true << QColor(Qt::red) << false;
    QTest::newRow("BClose") << "BClose" << 11 << false << text << false;
}

void WindowTest::fonts()
{
    QFETCH(QString, name);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    QFETCH(QColor, color);
    QFETCH(bool, wrapped);

    auto* widget = m_form->findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    const QFontInfo info(widget->font());
    QCOMPARE(info.pixelSize(), pixelSize);
    QCOMPARE(info.bold(), bold);
    // The fonts of the original layout, or their metric twin.
    const QStringList usable { "MS Sans Serif", "Arial", "Liberation Sans" };
    QVERIFY2(usable.contains(info.family()), qPrintable(info.family()));
    QCOMPARE(widget->palette().color(QPalette::WindowText), color);
    if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->wordWrap(), wrapped);
}

void WindowTest::tabOrder()
{
    QStringList order;
    QWidget* widget = m_form->findChild<QWidget*>("BClose");
    QCOMPARE(m_form->focusWidget(), widget);
    for (int i = 0; i < 5; ++i) {
        order << widget->objectName();
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
    }
    QCOMPARE(order, QStringList({ "BClose", "Button1", "BExportar", "BImportar", "BClose" }));
}

void WindowTest::gradients_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QColor>("top");
    QTest::addColumn<QColor>("middle");
    QTest::addColumn<QColor>("bottom");

    QTest::newRow("Draw3D2") << "Draw3D2" << QColor(0xFFEEDD) << QColor(0xFFFFFF) << QColor(0xF9D37D);
    QTest::newRow("Draw3D3") << "Draw3D3" << QColor(0xFFEEDD) << QColor(0xFFFFFF) << QColor(0xF9D37D);
    QTest::newRow("Draw3D1") << "Draw3D1" << QColor(0xCCD8E6) << QColor(0xCFF2FE) << QColor(0xC2CDFE);
}

void WindowTest::gradients()
{
    QFETCH(QString, panel);
    QFETCH(QColor, top);
    QFETCH(QColor, middle);
    QFETCH(QColor, bottom);

    auto* widget = m_form->findChild<QWidget*>(panel);
    QVERIFY(widget != nullptr);
    const QImage image = widget->grab().toImage();
    const int x = 2; // left of every label and button
    const int h = image.height();
    auto near = [](QColor a, QColor b) {
        return qAbs(a.red() - b.red()) <= 2 && qAbs(a.green() - b.green()) <= 2 && qAbs(a.blue() - b.blue()) <= 2;
    };
    QVERIFY2(near(image.pixelColor(x, 0), top), qPrintable(image.pixelColor(x, 0).name()));
    QVERIFY2(near(image.pixelColor(x, (h - 1) / 2), middle), qPrintable(image.pixelColor(x, (h - 1) / 2).name()));
    QVERIFY2(near(image.pixelColor(x, h - 1), bottom), qPrintable(image.pixelColor(x, h - 1).name()));
}

void WindowTest::versionLabelIsRed()
{
    auto* label = m_form->findChild<QLabel*>(QStringLiteral("Label1"));
    QVERIFY(label != nullptr);
    const QImage image = label->grab().toImage();
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 180 && c.green() < 90 && c.blue() < 90 ? 1 : 0;
        }
    QVERIFY2(red > 20, qPrintable(QString::number(red)));
}

void WindowTest::embeddedWindowHasNoBorder()
{
    TMForm embedded(m_desktop, { "ninguno", "7b" });
    QCOMPARE(embedded.runState().NumParametros, 2);
    const Qt::WindowFlags flags = embedded.windowFlags();
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(embedded.isWindow());
    QCOMPARE(embedded.size(), QSize(632, 266));
}

void WindowTest::returnPressesFocusedButton()
{
    QTest::keyClick(m_form->findChild<QPushButton*>("BExportar"), Qt::Key_Return);
    QCOMPARE(m_desktop.proposals.size(), size_t(1)); // the export's dialog came up
    QTest::keyClick(m_form->findChild<QPushButton*>("BClose"), Qt::Key_Return);
    QVERIFY(m_form->isClosed());
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
