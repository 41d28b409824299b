/*
  Demo data for the access-control database, loaded after schema/access.sql.
  SENHA_US holds the 30-byte stored password form of each user's name (upper
  case, as the authorisation dialog sends it) and password, as bytes:
    SUPERVISOR / cedro2024  groups PRODUCAO and SUPERVISAO (may authorise
                            cancellations with the demo parameters)
    OPERADOR   / esteira01  group PRODUCAO only
*/

SET SQL DIALECT 3;

INSERT INTO USUARIOS (NOME_US, SENHA_US, GRUPOS_US) VALUES ('SUPERVISOR', x'959AD7A9D3A2D3A2D7A9959A879B62A262A2879BA5C89AC8A5D695D3A5E1', 'PRODUCAO-SUPERVISAO');
INSERT INTO USUARIOS (NOME_US, SENHA_US, GRUPOS_US) VALUES ('OPERADOR', x'D7A2D893DD86DD86D893D7A280C291B791B780C290D8A2D895D997DD90CE', 'PRODUCAO');

COMMIT;
