/*
  Catalogue database: product pictures by product and pattern.
  The caller creates the database file (default character set WIN1252).
*/

SET SQL DIALECT 3;

CREATE TABLE PADRONIZ_PRODUTO (
    PRODUTO_PP       VARCHAR(8) NOT NULL,
    PADRONIZ_PP      VARCHAR(5) NOT NULL,
    /* JPEG or PNG data; the medium thumbnail is preferred over the small one */
    THUMBM_PP        BLOB SUB_TYPE 0 SEGMENT SIZE 4096,
    THUMB_PP         BLOB SUB_TYPE 0 SEGMENT SIZE 4096,
    CONSTRAINT PK_PADRONIZ_PRODUTO PRIMARY KEY (PRODUTO_PP, PADRONIZ_PP)
);

COMMIT;
