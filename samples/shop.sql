-- A small shop: customers, products, invoices and their lines. Foreign-key
-- columns are named id + the referenced table, as the generated entity
-- classes expect when they load a related object.
CREATE DATABASE IF NOT EXISTS shop;
USE shop;

CREATE TABLE customer (
    id BIGINT NOT NULL AUTO_INCREMENT,
    name VARCHAR(80) NOT NULL,
    email VARCHAR(120),
    phone VARCHAR(30),
    created DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
    PRIMARY KEY (id)
) ENGINE=InnoDB;

CREATE TABLE product (
    id BIGINT NOT NULL AUTO_INCREMENT,
    code VARCHAR(20) NOT NULL,
    description VARCHAR(200) NOT NULL,
    price DECIMAL(10,2) NOT NULL,
    stock INT NOT NULL DEFAULT 0,
    PRIMARY KEY (id),
    UNIQUE KEY uq_product_code (code)
) ENGINE=InnoDB;

CREATE TABLE invoice (
    id BIGINT NOT NULL AUTO_INCREMENT,
    idcustomer BIGINT NOT NULL,
    issued DATETIME NOT NULL,
    total DECIMAL(12,2) NOT NULL DEFAULT 0,
    PRIMARY KEY (id),
    CONSTRAINT fk_invoice_customer FOREIGN KEY (idcustomer) REFERENCES customer (id)
) ENGINE=InnoDB;

CREATE TABLE invoice_line (
    id BIGINT NOT NULL AUTO_INCREMENT,
    idinvoice BIGINT NOT NULL,
    idproduct BIGINT NOT NULL,
    quantity INT NOT NULL,
    price DECIMAL(10,2) NOT NULL,
    PRIMARY KEY (id),
    CONSTRAINT fk_line_invoice FOREIGN KEY (idinvoice) REFERENCES invoice (id),
    CONSTRAINT fk_line_product FOREIGN KEY (idproduct) REFERENCES product (id)
) ENGINE=InnoDB;

CREATE VIEW invoice_summary AS
    SELECT i.id, c.name, i.issued, i.total
      FROM invoice i JOIN customer c ON c.id = i.idcustomer;

INSERT INTO customer (name, email) VALUES ('Ana Torres', 'ana@example.org'), ('Ben Ito', NULL);
INSERT INTO product (code, description, price, stock) VALUES
    ('P-100', 'Notebook, squared', 3.50, 120),
    ('P-200', 'Fountain pen', 24.90, 15);
INSERT INTO invoice (idcustomer, issued, total) VALUES (1, '2026-11-02 10:15:00', 31.90);
INSERT INTO invoice_line (idinvoice, idproduct, quantity, price) VALUES (1, 1, 2, 3.50), (1, 2, 1, 24.90);
