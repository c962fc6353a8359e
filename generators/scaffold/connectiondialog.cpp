#include "connectiondialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace scaffold {

ConnectionDialog::ConnectionDialog(const SessionOptions &options, QWidget *parent)
	: QDialog(parent)
	, m_options(options)
	, m_host(new QLineEdit(options.host, this))
	, m_port(new QSpinBox(this))
	, m_socket(new QLineEdit(options.socket, this))
	, m_user(new QLineEdit(options.user, this))
	, m_password(new QLineEdit(options.password, this))
	, m_schema(new QLineEdit(options.schema, this))
	, m_ssl(new QCheckBox(tr("Encrypted (TLS)"), this))
	, m_sslCa(new QLineEdit(options.sslCa, this))
	, m_error(new QLabel(this))
{
	setWindowTitle(tr("Connect"));
	m_port->setRange(1, 65535);
	m_port->setValue(options.port);
	m_password->setEchoMode(QLineEdit::Password);
	m_ssl->setChecked(options.ssl);
	m_socket->setPlaceholderText(tr("instead of host and port"));
	m_sslCa->setPlaceholderText(tr("CA certificate file"));
	auto *form = new QFormLayout;
	form->addRow(tr("&Host:"), m_host);
	form->addRow(tr("&Port:"), m_port);
	form->addRow(tr("S&ocket:"), m_socket);
	form->addRow(tr("&User:"), m_user);
	form->addRow(tr("Pass&word:"), m_password);
	form->addRow(tr("&Schema:"), m_schema);
	form->addRow(QString(), m_ssl);
	form->addRow(tr("&CA:"), m_sslCa);
	m_error->setObjectName(QStringLiteral("error"));
	m_error->setWordWrap(true);
	m_error->setStyleSheet(QStringLiteral("color: #b00020"));
	auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
	buttons->button(QDialogButtonBox::Ok)->setText(tr("Connect"));
	connect(buttons, &QDialogButtonBox::accepted, this, &ConnectionDialog::accept);
	connect(buttons, &QDialogButtonBox::rejected, this, &ConnectionDialog::reject);
	auto *layout = new QVBoxLayout(this);
	layout->addLayout(form);
	layout->addWidget(m_error);
	layout->addWidget(buttons);
	if (options.user.isEmpty())
		m_user->setFocus();
	else
		m_password->setFocus();
}

SessionOptions ConnectionDialog::options() const
{
	SessionOptions options = m_options;
	options.host = m_host->text().trimmed();
	options.port = m_port->value();
	options.socket = m_socket->text().trimmed();
	options.user = m_user->text();
	options.password = m_password->text();
	options.schema = m_schema->text().trimmed();
	options.ssl = m_ssl->isChecked() || !m_sslCa->text().isEmpty();
	options.sslCa = m_sslCa->text().trimmed();
	return options;
}

void ConnectionDialog::showError(const QString &text)
{
	m_error->setText(text);
}

void ConnectionDialog::accept()
{
	const SessionOptions chosen = options();
	QString error;
	if (!Session::instance()->open(chosen, &error)) {
		showError(tr("Cannot connect: %1").arg(error));
		return;
	}
	remember(chosen);
	QDialog::accept();
}

SessionOptions ConnectionDialog::remembered()
{
	SessionOptions options;
	QSettings s(QStringLiteral("Tablesmith"), QStringLiteral("CRUD application"));
	s.beginGroup(QStringLiteral("connection"));
	options.host = s.value(QStringLiteral("host"), options.host).toString();
	options.port = s.value(QStringLiteral("port"), options.port).toInt();
	options.socket = s.value(QStringLiteral("socket")).toString();
	options.user = s.value(QStringLiteral("user")).toString();
	options.schema = s.value(QStringLiteral("schema")).toString();
	options.ssl = s.value(QStringLiteral("ssl"), false).toBool();
	options.sslCa = s.value(QStringLiteral("sslCa")).toString();
	options.sslCaPath = s.value(QStringLiteral("sslCaPath")).toString();
	options.sslCert = s.value(QStringLiteral("sslCert")).toString();
	options.sslKey = s.value(QStringLiteral("sslKey")).toString();
	options.sslCipher = s.value(QStringLiteral("sslCipher")).toString();
	options.sslVerifyServerCert = s.value(QStringLiteral("sslVerifyServerCert"), false).toBool();
	return options;
}

void ConnectionDialog::remember(const SessionOptions &options)
{
	QSettings s(QStringLiteral("Tablesmith"), QStringLiteral("CRUD application"));
	s.beginGroup(QStringLiteral("connection"));
	s.setValue(QStringLiteral("host"), options.host);
	s.setValue(QStringLiteral("port"), options.port);
	s.setValue(QStringLiteral("socket"), options.socket);
	s.setValue(QStringLiteral("user"), options.user);
	s.setValue(QStringLiteral("schema"), options.schema);
	s.setValue(QStringLiteral("ssl"), options.ssl);
	s.setValue(QStringLiteral("sslCa"), options.sslCa);
	s.setValue(QStringLiteral("sslCaPath"), options.sslCaPath);
	s.setValue(QStringLiteral("sslCert"), options.sslCert);
	s.setValue(QStringLiteral("sslKey"), options.sslKey);
	s.setValue(QStringLiteral("sslCipher"), options.sslCipher);
	s.setValue(QStringLiteral("sslVerifyServerCert"), options.sslVerifyServerCert);
	// Never the password.
	s.remove(QStringLiteral("password"));
}

} // namespace scaffold
