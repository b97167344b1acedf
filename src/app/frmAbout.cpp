#include "app/frmAbout.h"
#include "app/frmSplash.h"
#include "app/singleinstance.h"
#include "model/version.h"
#include "platform/prompts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvel {

namespace {

QPointer<frmAbout> instance;

QLabel* makeLabel(const QString& text, const char* name, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    // Readers may want to copy the version into a report.
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Korvel/Pellar Configuration Utility"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picIcon"));
    picture->setPixmap(ProgramPicture());
    picture->setAlignment(Qt::AlignTop);
    picture->setAccessibleName(tr("Program picture"));

    title_ = makeLabel(AppTitle(), "lblTitle", this);
    QFont big = title_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.25);
    title_->setFont(big);
    name_ = makeLabel(QString::fromLatin1(kProductNameLine), "lblName", this);
    version_ = makeLabel(QStringLiteral("Version %1.%2.%3")
                             .arg(ProgramVersionMajor)
                             .arg(ProgramVersionMinor)
                             .arg(ProgramVersionRevision),
                         "lblVersion", this);

    ok_ = new QPushButton(tr("&Close"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(title_);
    texts->addWidget(name_);
    texts->addWidget(version_);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    ok_->setFocus();
}

void frmAbout::Run(QWidget* owner) { RunSingleInstance(instance, owner); }

} // namespace korvel
