/*
  Access-control database: the suite's users and their groups.
  The caller creates the database file (default character set WIN1252).
*/

SET SQL DIALECT 3;

CREATE TABLE USUARIOS (
    NOME_US          VARCHAR(20) NOT NULL,
    /* The stored password form is 30 bytes of any value (0 to 255). OCTETS
       keeps every byte unchanged whatever the connection character set
       (NONE, WIN1252 or another) and is never transliterated. */
    SENHA_US         CHAR(30) CHARACTER SET OCTETS,
    /* group names joined by '-'; VARCHAR so that LIKE '%-GROUP' matches at the end */
    GRUPOS_US        VARCHAR(200),
    CONSTRAINT PK_USUARIOS PRIMARY KEY (NOME_US)
);

COMMIT;
