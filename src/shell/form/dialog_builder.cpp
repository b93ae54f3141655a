#include "shell/form/dialog_builder.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include "shell/desktop/fixed_colours.h"
#include "shell/form/caption_fit.h"
#include "shell/form/control_registry.h"
#include "shell/form/dialog_fonts.h"
#include "shell/form/dialog_layout.h"
#include "shell/form/dialog_units.h"

namespace tarvo::shell {
namespace {

QColor ToColor(Rgb rgb) { return QColor(rgb.r, rgb.g, rgb.b); }

void SetRoleEverywhere(QPalette& palette, QPalette::ColorRole role, const QColor& colour) {
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, role, colour);
    }
}

// A text colour for enabled controls; disabled ones are greyed, so a
// disabled control can be told from an enabled one.
void SetTextRole(QPalette& palette, QPalette::ColorRole role, const QColor& colour) {
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
    palette.setColor(QPalette::Disabled, role, DisabledTextOnFixedBackground());
}

// The platform's colours of a role, group by group.
void KeepPlatformRole(QPalette& palette, QPalette::ColorRole role) {
    const QPalette platform = QApplication::palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, role, platform.color(group, role));
    }
}

QLabel* MakeLabel(const ControlLayout& row, QWidget* dialog, Qt::Alignment alignment) {
    auto* label = new QLabel(dialog);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment);
    label->setWordWrap(true);
    SetLabelText(label,
                 QString::fromUtf8(row.text.data(), static_cast<qsizetype>(row.text.size())));
    return label;
}

QLineEdit* MakeEdit(QWidget* dialog, Qt::Alignment alignment) {
    auto* edit = new QLineEdit(dialog);
    edit->setAlignment(alignment | Qt::AlignVCenter);
    edit->setTextMargins(0, 0, 0, 0);
    return edit;
}

QWidget* MakeControl(const ControlLayout& row, QWidget* dialog) {
    const QString text =
        QString::fromUtf8(row.text.data(), static_cast<qsizetype>(row.text.size()));
    switch (row.kind) {
        case ControlKind::Label:
            return MakeLabel(row, dialog, Qt::AlignLeft | Qt::AlignTop);
        case ControlKind::TitleBox: {
            QLabel* title = MakeLabel(row, dialog, Qt::AlignHCenter | Qt::AlignTop);
            title->setFrameStyle(QFrame::Box | QFrame::Plain);
            title->setLineWidth(1);
            return title;
        }
        case ControlKind::VersionBox: {
            QLabel* version = MakeLabel(row, dialog, Qt::AlignHCenter | Qt::AlignTop);
            SetLabelText(version, QString::fromStdString(VersionText()));
            return version;
        }
        case ControlKind::GrayRect: {
            auto* rect = new QLabel(dialog);
            QPalette palette = QApplication::palette();
            SetRoleEverywhere(palette, QPalette::Window, palette.color(QPalette::Dark));
            rect->setPalette(palette);
            rect->setAutoFillBackground(true);
            return rect;
        }
        case ControlKind::GroupBox: {
            auto* group = new QGroupBox(text, dialog);
            // A frame only draws around its neighbours; clicks reach them.
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            group->setFocusPolicy(Qt::NoFocus);
            return group;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, dialog);
            button->setAutoDefault(false);
            button->setFocusPolicy(Qt::StrongFocus);
            return button;
        }
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(text, dialog);
            // Drawn like a label on its coloured background, not as a button face.
            radio->setBackgroundRole(QPalette::Window);
            radio->setForegroundRole(QPalette::WindowText);
            return radio;
        }
        case ControlKind::NameBox:
            return MakeEdit(dialog, Qt::AlignLeft);
        case ControlKind::NumberBox: {
            QLineEdit* edit = MakeEdit(dialog, Qt::AlignRight);
            // Digits only as typed; text set otherwise (pasted by program, or
            // by the presets) is taken as it is and converted by the run.
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
            return edit;
        }
        case ControlKind::Panel: {
            QLineEdit* panel = MakeEdit(dialog, Qt::AlignLeft);
            panel->setFrame(false);
            panel->setEnabled(false);
            return panel;
        }
    }
    return nullptr;
}

bool FillsItsBackground(ControlKind kind) {
    return kind != ControlKind::PushButton && kind != ControlKind::NameBox &&
           kind != ControlKind::NumberBox;
}

void ApplyColours(QWidget* control, ControlKind kind, const ControlColours& colours) {
    if (kind == ControlKind::GrayRect) return;  // keeps its own shadow colour
    // Every role is set explicitly: a role left unset would be inherited from
    // the dialog's green-on-yellow palette instead of the system's default.
    QPalette palette = QApplication::palette();
    for (auto role : {QPalette::Window, QPalette::WindowText, QPalette::Base, QPalette::Text,
                      QPalette::Button, QPalette::ButtonText}) {
        KeepPlatformRole(palette, role);
    }
    if (colours.background) {
        // The system's text is meant for the system's background: on one the
        // dialog fixes, default text is the dark text that reads on it. A
        // button draws its caption on its own face, in the system's colours.
        if (kind != ControlKind::PushButton) SetTextOnFixedBackground(palette);
        SetRoleEverywhere(palette, QPalette::Window, ToColor(*colours.background));
        // The radio indicator's dot is drawn in Text on Base: a light Base
        // under the dark dot, whatever the theme's Base.
        if (kind == ControlKind::RadioButton) SetRoleEverywhere(palette, QPalette::Base, Qt::white);
        if (kind == ControlKind::Panel) {
            SetRoleEverywhere(palette, QPalette::Base, ToColor(*colours.background));
        }
    }
    if (colours.text) SetTextRole(palette, QPalette::WindowText, ToColor(*colours.text));
    control->setPalette(palette);
    // Where the colour is the surface's, the surface shows through.
    control->setAutoFillBackground(colours.background && FillsItsBackground(kind) &&
                                   *colours.background != kSurfaceColour);
}

}  // namespace

void ApplySurfaceColours(QWidget* dialog) {
    QPalette palette = QApplication::palette();
    SetRoleEverywhere(palette, QPalette::Window, ToColor(kSurfaceColour));
    SetTextOnFixedBackground(palette);
    SetTextRole(palette, QPalette::WindowText, ToColor(kDialogTextColour));
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
}

void BuildDialogControls(QWidget* dialog, const DialogUnits& units, ControlRegistry& registry,
                         QButtonGroup& modeButtons) {
    modeButtons.setExclusive(true);
    for (const ControlLayout& row : MainDialogControls()) {
        QWidget* control = MakeControl(row, dialog);
        control->setGeometry(units.Rect(row.x, row.y, row.w, row.h));
        ApplyColours(control, row.kind, ColoursForControl(row.id));
        if (row.kind == ControlKind::RadioButton) {
            modeButtons.addButton(static_cast<QRadioButton*>(control), row.id);
        }
        if (row.id != kUnaddressed) registry.Add(row.id, control);
    }

    registry.SetChecked(1004, true);  // mode 2 at start

    const QFont groupFont = GroupFont();
    for (int id : kGroupFontControls) {
        if (QWidget* control = registry.Find(id)) control->setFont(groupFont);
    }

    // Last, with every caption and font in place: no caption is cut.
    for (const ControlLayout& row : MainDialogControls()) {
        if (QWidget* control = registry.Find(row.id)) FitCaption(control);
    }
}

}  // namespace tarvo::shell
