/*
  Main ERP database of the shop-floor station (Firebird 3, dialect 3).
  The caller creates the database file (default character set WIN1252);
  run with: isql-fb -q -user SYSDBA <database> -i schema/main.sql

  Text codes that always have their full width (programme 6, ticket 4,
  sub-ticket 4, sector 2, size 2, order 8, order item 3) are CHAR where they
  identify the row; references that may be empty or shorter are VARCHAR, so
  that an empty value reads back empty and not as blanks.
  No foreign keys: the station and the rest of the suite write these tables
  in their own order, and a missing reference is a case the station handles.
*/

SET SQL DIALECT 3;

/* ---------------------------------------------------------------- generators */

CREATE GENERATOR ID_PRODUCAO_SETOR_CXUNIT;
CREATE GENERATOR ID_PRODUCAO_ESTOQUE;
CREATE GENERATOR ID_PROD_ITEM_ESTOQUE;
/* numbering of rows inserted with id 0 (see the triggers below) */
CREATE GENERATOR ID_PRODUCAO_SETOR;
CREATE GENERATOR ID_PROD_ESTOQUE_MOV;
/* audit rows written by GRAVALOG */
CREATE GENERATOR ID_LOG;

/* ------------------------------------------------------- company and set-up */

/* Exactly one row: the server-time statements select from CONFIG. */
CREATE TABLE CONFIG (
    ID_CF            SMALLINT DEFAULT 1 NOT NULL,
    NOME_EMPRESA     VARCHAR(60),
    CONSTRAINT PK_CONFIG PRIMARY KEY (ID_CF),
    CONSTRAINT CK_CONFIG_UNICA CHECK (ID_CF = 1)
);

CREATE TABLE PARAM (
    GRUPO_PA         VARCHAR(40) NOT NULL,
    PARAM_PA         VARCHAR(60) NOT NULL,
    VALOR_PA         VARCHAR(1000),
    CONSTRAINT PK_PARAM PRIMARY KEY (GRUPO_PA, PARAM_PA)
);

CREATE TABLE FILIAL (
    COD_FI                          INTEGER NOT NULL,
    NOME_FI                         VARCHAR(60),
    EMISNOTA_FORMA_AGRUP_ITENS_FI   VARCHAR(20),
    CONSTRAINT PK_FILIAL PRIMARY KEY (COD_FI)
);

/* Generic code tables; NUM_TA '70' holds the brands. */
CREATE TABLE TABELA (
    NUM_TA           VARCHAR(3) NOT NULL,
    COD_TA           VARCHAR(8) NOT NULL,
    DESC_TA          VARCHAR(75),
    CONSTRAINT PK_TABELA PRIMARY KEY (NUM_TA, COD_TA)
);

CREATE TABLE FUNCIONARIO (
    CODIGO_FU        VARCHAR(6) NOT NULL,
    NOME_FU          VARCHAR(60),
    CONSTRAINT PK_FUNCIONARIO PRIMARY KEY (CODIGO_FU)
);

/* ------------------------------------------------------- sectors and routes */

CREATE TABLE SETOR (
    COD_SE                      CHAR(2) NOT NULL,
    NOME_SE                     VARCHAR(50),
    SETORANT_SE                 VARCHAR(15),
    RETORNO_EXTERNO_SE          CHAR(1),
    ORDEM_SE                    INTEGER,
    /* VARCHAR: an empty group must read back empty, not as two blanks */
    SETOR_AGRUP_SE              VARCHAR(2),
    SETOR_SAIDA_EXTERNO_SE      CHAR(1),
    TIPO_ATU_PRODUCAO_SETOR_SE  CHAR(1),
    TIPO_OPERACAO_SE            CHAR(1),
    SEQPROD_SE                  CHAR(1),
    CONSTRAINT PK_SETOR PRIMARY KEY (COD_SE)
);
CREATE INDEX IX_SETOR_AGRUP ON SETOR (SETOR_AGRUP_SE);
CREATE INDEX IX_SETOR_ORDEM ON SETOR (ORDEM_SE);

/* The sectors a product passes through. */
CREATE TABLE PRODUTO_SETOR (
    CODIGO_PRODUTO_PS  VARCHAR(8) NOT NULL,
    CODIGO_SETOR_PS    CHAR(2) NOT NULL,
    CONSTRAINT PK_PRODUTO_SETOR PRIMARY KEY (CODIGO_PRODUTO_PS, CODIGO_SETOR_PS)
);

/* ------------------------------------------------------------------ products */

CREATE TABLE PRODUTO (
    COD_PR           VARCHAR(8) NOT NULL,
    DESC_PR          VARCHAR(100),
    DESCNF_PR        VARCHAR(100),
    GRUPO_PR         VARCHAR(6),
    IMAGEM_PR        BLOB SUB_TYPE 0 SEGMENT SIZE 4096,
    CONSTRAINT PK_PRODUTO PRIMARY KEY (COD_PR)
);

CREATE TABLE PADRONIZ_PRODUTO (
    PROD_PP          VARCHAR(8) NOT NULL,
    PADRONIZ_PP      VARCHAR(5) NOT NULL,
    DESC_PP          VARCHAR(100),
    CONSTRAINT PK_PADRONIZ_PRODUTO PRIMARY KEY (PROD_PP, PADRONIZ_PP)
);

/* -------------------------------------------------------------- sales orders */

CREATE TABLE PEDVENDA (
    NUM_PV           CHAR(8) NOT NULL,
    TIPO_PV          VARCHAR(4),
    FILIAL_PV        INTEGER,
    CONSTRAINT PK_PEDVENDA PRIMARY KEY (NUM_PV)
);

CREATE TABLE ITENSPV (
    PEDIDO_IT        CHAR(8) NOT NULL,
    ITEM_IT          CHAR(3) NOT NULL,
    PROD_IT          VARCHAR(8),
    PADRON_IT        VARCHAR(5),
    MARCA_IT         VARCHAR(8),
    PROG_IT          VARCHAR(6),
    FICHA_IT         VARCHAR(4),
    SIT_IT           CHAR(1),
    STATUS_IT        VARCHAR(1),
    OBSPROD_IT       VARCHAR(80),
    CONSTRAINT PK_ITENSPV PRIMARY KEY (PEDIDO_IT, ITEM_IT)
);
CREATE INDEX IX_ITENSPV_PROG_FICHA ON ITENSPV (PROG_IT, FICHA_IT);

/* One row per size of an order item. */
CREATE TABLE ITENSPVGRADE (
    PEDIDO_IT        CHAR(8) NOT NULL,
    ITEM_IT          CHAR(3) NOT NULL,
    TAM_IT           CHAR(2) NOT NULL,
    QTPED_IT         NUMERIC(15,3),
    CONSTRAINT PK_ITENSPVGRADE PRIMARY KEY (PEDIDO_IT, ITEM_IT, TAM_IT)
);

/* ------------------------------------------------------ production planning */

CREATE TABLE PROGRAMACAO (
    NUM_PO           CHAR(6) NOT NULL,
    FILIAL_PO        INTEGER,
    CONSTRAINT PK_PROGRAMACAO PRIMARY KEY (NUM_PO)
);

/* Tickets of a programme. */
CREATE TABLE PRODUCAO (
    PROG_PR          CHAR(6) NOT NULL,
    FICHA_PR         CHAR(4) NOT NULL,
    QTDE_PR          INTEGER,
    CONSTRAINT PK_PRODUCAO PRIMARY KEY (PROG_PR, FICHA_PR)
);

/* Sub-tickets; one sub-ticket may have several rows (sizes), hence its own id. */
CREATE TABLE SUBPROD (
    ID_PR            INTEGER NOT NULL,
    PROG_PR          CHAR(6) NOT NULL,
    FICHA_PR         CHAR(4) NOT NULL,
    SUBFICHA_PR      CHAR(4) NOT NULL,
    TAMA_PR          CHAR(2),
    QTDE_PR          INTEGER,
    DTBAIXA_PR       TIMESTAMP,
    CONSTRAINT PK_SUBPROD PRIMARY KEY (ID_PR)
);
CREATE INDEX IX_SUBPROD_PROG_FICHA ON SUBPROD (PROG_PR, FICHA_PR, SUBFICHA_PR);

/* --------------------------------------------------------------- box labels */

CREATE TABLE CODCXUNIT (
    CODIGO_CX        INTEGER NOT NULL,
    PROD_CX          VARCHAR(8),
    PADRON_CX        VARCHAR(5),
    TAM_CX           CHAR(2),
    MARCA_CX         VARCHAR(75),
    PROG_CX          VARCHAR(6),
    FICHA_CX         VARCHAR(4),
    PEDIDO_CX        VARCHAR(8),
    ITEM_CX          VARCHAR(3),
    DTEMISSAO_CX     TIMESTAMP,
    DTBAIXA_CX       TIMESTAMP,
    DATA_CANC_CX     TIMESTAMP,
    ESTEIRA_CX       VARCHAR(10),
    SETOR_CX         VARCHAR(2),
    FUNCIONARIO_CX   VARCHAR(6),
    CONSTRAINT PK_CODCXUNIT PRIMARY KEY (CODIGO_CX)
);
/* The boxes not yet written off are many, but an index on DTBAIXA_CX alone (IX_CODCXUNIT_DTBAIXA of
   earlier installations) has statistics (nearly one box per time) that let "DTBAIXA_CX is null" look
   like one row: a lookup that also asks for it needs an index whose every segment it matches, or it
   reads every pending box of the year. */
CREATE INDEX IX_CODCXUNIT_PROG_FICHA_TAM ON CODCXUNIT (PROG_CX, FICHA_CX, TAM_CX, DTBAIXA_CX);
/* the ticket's first box without walking the primary key up to it */
CREATE INDEX IX_CODCXUNIT_PROG_FICHA_COD ON CODCXUNIT (PROG_CX, FICHA_CX, CODIGO_CX);
CREATE INDEX IX_CODCXUNIT_PEDIDO_BAIXA ON CODCXUNIT (PEDIDO_CX, ITEM_CX, DTBAIXA_CX);
/* a conveyor's counters read its own month, not every conveyor's */
CREATE INDEX IX_CODCXUNIT_ESTEIRA_BAIXA ON CODCXUNIT (ESTEIRA_CX, DTBAIXA_CX);

CREATE TABLE CODCXCOLET (
    CODIGO_CX        INTEGER NOT NULL,
    PEDIDO_CX        VARCHAR(8),
    ITEMPED_CX       VARCHAR(3),
    TALAO_CX         VARCHAR(10),
    QTDEPAR_CX       INTEGER,
    /* size grid: slots of three characters, size and pairs at the same slot */
    NUMERACAO_CX     VARCHAR(100),
    QTPARES_CX       VARCHAR(100),
    DATA_CANC_CX     TIMESTAMP,
    CONSTRAINT PK_CODCXCOLET PRIMARY KEY (CODIGO_CX)
);

/* ------------------------------------------------------- sector production */

CREATE TABLE PRODUCAO_SETOR (
    ID_PS                   INTEGER NOT NULL,
    PROG_PS                 CHAR(6),
    FICHA_PS                CHAR(4),
    SUBFICHA_PS             CHAR(4),
    SETOR_PS                CHAR(2),
    FUNCIONAR_PS            VARCHAR(6),
    TIPO_OPERACAO_SETOR_PS  CHAR(1),
    TIPO_ATUALIZACAO_PS     CHAR(1),
    DTSAIDA_PS              TIMESTAMP,
    HORASAIDA_PS            VARCHAR(8),
    CODCXUNIT_PS            INTEGER,
    CODCXCOLET_PS           INTEGER,
    ID_SUBPROD_PS           INTEGER,
    SUBPROD_MPRIMA_ID_PS    INTEGER,
    QTDE_PS                 INTEGER,
    CONSTRAINT PK_PRODUCAO_SETOR PRIMARY KEY (ID_PS)
);
CREATE INDEX IX_PRODUCAO_SETOR_FICHA ON PRODUCAO_SETOR (PROG_PS, FICHA_PS, SUBFICHA_PS, SETOR_PS);
CREATE INDEX IX_PRODUCAO_SETOR_CXUNIT ON PRODUCAO_SETOR (CODCXUNIT_PS, SETOR_PS);

CREATE TABLE PRODUCAO_SETOR_CXUNIT (
    ID_PU                   INTEGER NOT NULL,
    PROG_PU                 CHAR(6),
    FICHA_PU                CHAR(4),
    SUBFICHA_PU             CHAR(4),
    SETOR_PU                CHAR(2),
    FUNCIONAR_PU            VARCHAR(6),
    TIPO_OPERACAO_SETOR_PU  CHAR(1),
    TIPO_ATUALIZACAO_PU     CHAR(1),
    DTSAIDA_PU              TIMESTAMP,
    HORASAIDA_PU            VARCHAR(8),
    CODCXUNIT_PU            INTEGER,
    QTDE_PU                 INTEGER,
    CONSTRAINT PK_PRODUCAO_SETOR_CXUNIT PRIMARY KEY (ID_PU)
);
CREATE INDEX IX_PRODUCAO_SETOR_CXUNIT_CX ON PRODUCAO_SETOR_CXUNIT (CODCXUNIT_PU, SETOR_PU);
/* a sector's counters read its own month, not every sector's */
CREATE INDEX IX_PROD_SETOR_CXUNIT_SETOR_DT ON PRODUCAO_SETOR_CXUNIT (SETOR_PU, DTSAIDA_PU);

/* ------------------------------------------------------------------- stock */

/* Stock movements written directly by the station. */
CREATE TABLE PROD_ESTOQUE_MOV (
    CODIGO_MV           INTEGER NOT NULL,
    DOCTO_MV            VARCHAR(15),
    DATA_MV             TIMESTAMP,
    ENTSAI_MV           CHAR(1),
    PROD_MV             VARCHAR(8),
    PADRON_MV           VARCHAR(5),
    MARCA_MV            VARCHAR(8),
    FILIAL_MV           INTEGER,
    NUMERACAO_MV        VARCHAR(2),
    GRADE_MV            VARCHAR(2),
    QTDE_MV             NUMERIC(15,3),
    OBS_MV              VARCHAR(200),
    USUARIO_MV          VARCHAR(30),
    QTPEND_MV           NUMERIC(15,3),
    PEDIDO_ENTRADA_MV   VARCHAR(8),
    ITEMPED_ENTRADA_MV  VARCHAR(3),
    TIPOMOV_MV          VARCHAR(5),
    MULTIPLICADOR_MV    INTEGER,
    CODIGO_CXUNIT_MV    INTEGER,
    PROG_MV             VARCHAR(6),
    FICHA_MV            VARCHAR(4),
    CONSTRAINT PK_PROD_ESTOQUE_MOV PRIMARY KEY (CODIGO_MV)
);

/* Stock items: product, pattern and size ('*' when there is none). */
CREATE TABLE PROD_ITEM_ESTOQUE (
    ID_PI                INTEGER NOT NULL,
    PROD_PI              VARCHAR(8),
    PADRON_PI            VARCHAR(5),
    TAMANHO_PI           VARCHAR(2),
    CODIGO_PI            VARCHAR(20),
    DESCRICAO_PI         VARCHAR(250),
    DATA_INCLUSAO_PI     TIMESTAMP,
    STATUS_PI            CHAR(1),
    USUARIO_INCLUSAO_PI  VARCHAR(20),
    CONSTRAINT PK_PROD_ITEM_ESTOQUE PRIMARY KEY (ID_PI),
    CONSTRAINT UQ_PROD_ITEM_ESTOQUE_CODIGO UNIQUE (CODIGO_PI)
);

/* Stock entry lines; production entries have type 'EP'. */
CREATE TABLE ENTRADAMP (
    FILIAL_EMP                 INTEGER NOT NULL,
    FORNEC_EMP                 INTEGER NOT NULL,
    DOCTO_EMP                  VARCHAR(15) NOT NULL,
    SERIE_EMP                  VARCHAR(3) NOT NULL,
    ITEM_EMP                   INTEGER NOT NULL,
    ORDEM_EMP                  INTEGER NOT NULL,
    DATA_EMP                   TIMESTAMP,
    TIPO_EMP                   VARCHAR(2),
    QTDE_EMP                   NUMERIC(15,6),
    PROD_EMP                   VARCHAR(8),
    PADRON_EMP                 VARCHAR(5),
    TAMANHO_EMP                VARCHAR(2),
    MPRIMA_EMP                 INTEGER,
    COR_EMP                    VARCHAR(5),
    USUARIO_EMP                VARCHAR(20),
    PROG_EMP                   VARCHAR(6),
    FICHA_EMP                  VARCHAR(4),
    PRECO_EMP                  NUMERIC(15,4),
    PRREAL_EMP                 NUMERIC(15,4),
    PRMEDIO_EMP                NUMERIC(15,4),
    DESCTO_EMP                 NUMERIC(15,2),
    DESPES_EMP                 NUMERIC(15,2),
    ATUEST_EMP                 CHAR(1),
    COMGRADE_EMP               CHAR(1),
    CST_EMP                    VARCHAR(3),
    IPI_EMP                    NUMERIC(15,2),
    VRIPI_EMP                  NUMERIC(15,2),
    ICMS_EMP                   NUMERIC(15,2),
    VRICM_EMP                  NUMERIC(15,2),
    BASEICM_EMP                NUMERIC(15,2),
    OUTROSICM_EMP              NUMERIC(15,2),
    ISENTOSICM_EMP             NUMERIC(15,2),
    BASEIPI_EMP                NUMERIC(15,2),
    OUTROSIPI_EMP              NUMERIC(15,2),
    ISENTOSIPI_EMP             NUMERIC(15,2),
    GRADE_EMP                  VARCHAR(2),
    MOV_FISICA_EMP             CHAR(1),
    ID_ESTOQUE_MOV_INT_EMP     INTEGER,
    ID_PROD_ITEM_ESTOQUE_EMP   INTEGER,
    REG_SPED_K280_EMP          VARCHAR(20),
    REG_SPED_K280_MES_ANO_EMP  VARCHAR(7),
    CONSTRAINT PK_ENTRADAMP PRIMARY KEY (FILIAL_EMP, FORNEC_EMP, DOCTO_EMP, SERIE_EMP, ITEM_EMP, ORDEM_EMP)
);

/* Link between a production-stock entry line and where it came from. */
CREATE TABLE PRODUCAO_ESTOQUE (
    ID_ES                  INTEGER NOT NULL,
    DATA_ES                TIMESTAMP,
    USUARIO_ES             VARCHAR(20),
    PEDIDO_ES              VARCHAR(8),
    ITEM_PED_ES            VARCHAR(3),
    CODIGO_CXCOLET_ES      INTEGER,
    CODIGO_CXUNIT_ES       INTEGER,
    PROG_ES                VARCHAR(6),
    FICHA_ES               VARCHAR(4),
    SUBFICHA_ES            VARCHAR(4),
    STATUS_ES              CHAR(1),
    FILIAL_EMP_ES          INTEGER,
    FORNEC_EMP_ES          INTEGER,
    DOCTO_EMP_ES           VARCHAR(15),
    SERIE_EMP_ES           VARCHAR(3),
    ITEM_EMP_ES            INTEGER,
    ORDEM_EMP_ES           INTEGER,
    ID_ESTOQUE_MOV_INT_ES  INTEGER,
    DATA_CANC_ES           TIMESTAMP,
    USUARIO_CANC_ES        VARCHAR(20),
    CONSTRAINT PK_PRODUCAO_ESTOQUE PRIMARY KEY (ID_ES)
);
CREATE INDEX IX_PRODUCAO_ESTOQUE_CXUNIT ON PRODUCAO_ESTOQUE (CODIGO_CXUNIT_ES);
CREATE INDEX IX_PRODUCAO_ESTOQUE_CXCOLET ON PRODUCAO_ESTOQUE (CODIGO_CXCOLET_ES);
CREATE INDEX IX_PRODUCAO_ESTOQUE_PEDIDO ON PRODUCAO_ESTOQUE (PEDIDO_ES, ITEM_PED_ES);
CREATE INDEX IX_PRODUCAO_ESTOQUE_PROG ON PRODUCAO_ESTOQUE (PROG_ES, FICHA_ES, SUBFICHA_ES);

/* ---------------------------------------------------------------- audit log */

/* One row per changed field (or per inserted / deleted record). */
CREATE TABLE LOG (
    ID_LG            INTEGER NOT NULL,
    CHAVE_LG         VARCHAR(30),
    ARQ_LG           VARCHAR(31),
    CAMPO_LG         VARCHAR(31),
    USUARIO_LG       VARCHAR(30),
    DATA_LG          TIMESTAMP,
    VRANT_LG         VARCHAR(100),
    VRATU_LG         VARCHAR(100),
    CONSTRAINT PK_LOG PRIMARY KEY (ID_LG)
);

COMMIT;

/* ------------------------------------------------- triggers and procedures */

SET TERM ^ ;

/* The station inserts ID_PS = 0 and leaves the numbering to the database. */
CREATE TRIGGER PRODUCAO_SETOR_BI FOR PRODUCAO_SETOR
ACTIVE BEFORE INSERT POSITION 0
AS
BEGIN
  IF (NEW.ID_PS IS NULL OR NEW.ID_PS = 0) THEN
    NEW.ID_PS = GEN_ID(ID_PRODUCAO_SETOR, 1);
END^

/* Same for the stock movements, inserted with CODIGO_MV = 0. */
CREATE TRIGGER PROD_ESTOQUE_MOV_BI FOR PROD_ESTOQUE_MOV
ACTIVE BEFORE INSERT POSITION 0
AS
BEGIN
  IF (NEW.CODIGO_MV IS NULL OR NEW.CODIGO_MV = 0) THEN
    NEW.CODIGO_MV = GEN_ID(ID_PROD_ESTOQUE_MOV, 1);
END^

/* Appends one audit row. Callers cut key, user and values to these widths. */
CREATE PROCEDURE GRAVALOG (
    CHAVE    VARCHAR(30),
    ARQ      VARCHAR(31),
    CAMPO    VARCHAR(31),
    USUARIO  VARCHAR(30),
    DATA     TIMESTAMP,
    VRANT    VARCHAR(100),
    VRATU    VARCHAR(100))
AS
BEGIN
  INSERT INTO LOG (ID_LG, CHAVE_LG, ARQ_LG, CAMPO_LG, USUARIO_LG, DATA_LG, VRANT_LG, VRATU_LG)
  VALUES (GEN_ID(ID_LOG, 1), :CHAVE, :ARQ, :CAMPO, :USUARIO, :DATA, :VRANT, :VRATU);
END^

SET TERM ; ^

COMMIT;

/* --------------------------------------------------------------- fixed rows */

INSERT INTO CONFIG (ID_CF, NOME_EMPRESA) VALUES (1, '');

COMMIT;
