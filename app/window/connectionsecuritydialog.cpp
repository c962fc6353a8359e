#include "app/window/connectionsecuritydialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ConnectionSecurityDialog::ConnectionSecurityDialog(const TlsOptions &options, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ConnectionSecurityDialog"));
    setWindowTitle(tr("Connection Security"));
    auto *layout = new QVBoxLayout(this);

    m_required = new QCheckBox(tr("Require an encrypted connection (TLS)"), this);
    m_required->setObjectName(QStringLiteral("sslRequired"));
    m_required->setChecked(options.required);
    layout->addWidget(m_required);

    m_form = new QFormLayout;
    layout->addLayout(m_form);
    m_ca = addPathRow(tr("CA certificate"), "sslCa", options.ca, false,
                      tr("PEM file of the CAs that must have signed the server's certificate chain"));
    m_caPath = addPathRow(tr("CA directory"), "sslCaPath", options.caPath, true,
                          tr("The same from a directory prepared with openssl rehash"));
    m_cert = addPathRow(tr("Client certificate"), "sslCert", options.cert, false,
                        tr("PEM file, for accounts that require X509"));
    m_key = addPathRow(tr("Client key"), "sslKey", options.key, false, tr("The client certificate's private key (PEM)"));
    m_cipher = new QLineEdit(options.cipher, this);
    m_cipher->setObjectName(QStringLiteral("sslCipher"));
    m_cipher->setPlaceholderText(tr("the client library's default"));
    m_form->addRow(tr("Ciphers"), m_cipher);

    m_verify = new QCheckBox(tr("Verify the server's certificate (needs a CA)"), this);
    m_verify->setObjectName(QStringLiteral("sslVerifyServerCert"));
    m_verify->setChecked(options.verifyServerCert);
    layout->addWidget(m_verify);

    auto *note = new QLabel(tr("Any of these settings requires encryption: a connection the server does not "
                               "encrypt is refused. With a CA the server's certificate chain is verified; without "
                               "one the server is not authenticated. The server's host name is not compared with "
                               "its certificate: the MySQL driver has no such check."),
                            this);
    note->setObjectName(QStringLiteral("sslNote"));
    note->setWordWrap(true);
    layout->addWidget(note);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("sslProblem"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    layout->addWidget(m_problem);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QLineEdit *ConnectionSecurityDialog::addPathRow(const QString &label, const char *name, const QString &value,
                                                bool directory, const QString &tip)
{
    auto *edit = new QLineEdit(value, this);
    edit->setObjectName(QLatin1String(name));
    edit->setToolTip(tip);
    edit->setMinimumWidth(320);
    auto *browse = new QPushButton(tr("Browse..."), this);
    browse->setObjectName(QLatin1String(name) + QStringLiteral("Browse"));
    connect(browse, &QPushButton::clicked, this, [this, edit, label, directory] {
        const QString chosen = directory ? QFileDialog::getExistingDirectory(this, label, edit->text())
                                         : QFileDialog::getOpenFileName(this, label, edit->text(),
                                                                        tr("PEM files (*.pem *.crt *.key);;All files (*)"));
        if (!chosen.isEmpty())
            edit->setText(chosen);
    });
    auto *row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(browse);
    m_form->addRow(label, row);
    return edit;
}

TlsOptions ConnectionSecurityDialog::options() const
{
    TlsOptions options;
    options.required = m_required->isChecked();
    options.ca = m_ca->text().trimmed();
    options.caPath = m_caPath->text().trimmed();
    options.cert = m_cert->text().trimmed();
    options.key = m_key->text().trimmed();
    options.cipher = m_cipher->text().trimmed();
    options.verifyServerCert = m_verify->isChecked();
    return options;
}

void ConnectionSecurityDialog::accept()
{
    const QString problem = options().problem();
    if (!problem.isEmpty()) {
        m_problem->setText(tr("Cannot use these settings: %1.").arg(problem));
        m_problem->show();
        return;
    }
    QDialog::accept();
}
