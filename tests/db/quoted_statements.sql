-- main sqlEmpresa
select c.nome_empresa from config c
;;
-- main sqlParam
select p.*
from PARAM P
where P.GRUPO_PA in ('ATU_CAIXA_UNITARIA', 'PRODUCAO_ESTOQUE')   
;;
-- main ReadParam
select VALOR_PA from PARAM
where GRUPO_PA=:GRUPO
and PARAM_PA=:PARAM
;;
-- main sqlFunc
SELECT NOME_FU FROM FUNCIONARIO F WHERE CODIGO_FU = :FUNC
;;
-- main sqlSetor
SELECT S.NOME_SE FROM SETOR S WHERE S.COD_SE = :SETOR
;;
-- main sqlCodCxUn
SELECT DISTINCT C.*, PR.GRUPO_PR, PR.IMAGEM_PR,
(SELECT DESC_PP FROM PADRONIZ_PRODUTO P WHERE C.PADRON_CX = P.PADRONIZ_PP AND C.PROD_CX = P.PROD_PP) AS DESC_PA,
(SELECT M.COD_TA FROM TABELA M WHERE M.DESC_TA = C.MARCA_CX AND M.NUM_TA = '70') AS COD_MARCA,
(select PV.TIPO_PV from PEDVENDA PV where PV.NUM_PV = C.PEDIDO_CX) TIPO_PEDIDO
FROM CODCXUNIT C
LEFT JOIN PRODUTO PR ON PR.COD_PR = C.PROD_CX
WHERE CODIGO_CX = :COD
;;
-- main sqlQuilbar
update CODCXUNIT
set DTBAIXA_CX=cast('now' as timestamp), ESTEIRA_CX=:ESTEIRA, SETOR_CX = :SETOR, FUNCIONARIO_CX = :FUNCIONARIO
where CODIGO_CX=:COD
;;
-- main sqlQuilbar.OneWriteOffPerBox
update CODCXUNIT
set DTBAIXA_CX=cast('now' as timestamp), ESTEIRA_CX=:ESTEIRA, SETOR_CX = :SETOR, FUNCIONARIO_CX = :FUNCIONARIO
where CODIGO_CX=:COD
and DTBAIXA_CX is null
;;
-- main sqlBloqCxUnit
select DTBAIXA_CX from CODCXUNIT
where CODIGO_CX = :COD
for update with lock
;;
-- main sqlDataServ
select cast('NOW' as timestamp) as DATA_SERV from CONFIG
;;
-- main sqlDadosSetor
select * from SETOR where COD_SE = :COD_SETOR
;;
-- main sqlProdSetor
select * 
from PRODUCAO_SETOR
WHERE
PROG_PS=:PROG and
FICHA_PS=:FICHA and
SUBFICHA_PS=:SUBFICHA and
SETOR_PS=:SETOR
;;
-- main sqlProdSetorUnit
select * 
from PRODUCAO_SETOR_CXUNIT
WHERE
ID_PU = 0
;;
-- main sqlProdSetorU
select * 
from PRODUCAO_SETOR
WHERE
ID_PS = 0
;;
-- main sqlPesqEtiqProgFicha
select STATUS, count(*) as QTDE
from (select case when (DTBAIXA_CX is null) then 'P' else 'B' end as STATUS from CODCXUNIT where PROG_CX = :PROG and FICHA_CX = :FICHA and DATA_CANC_CX is null)
group by 1
;;
-- main sqlPesqEtiqProgFichaSetor
select STATUS, count(*) as QTDE
from (select case when (DTSAIDA_PU is null) then 'P' else 'B' end as STATUS FROM CODCXUNIT CX LEFT JOIN PRODUCAO_SETOR_CXUNIT PS ON PS.CODCXUNIT_PU = CX.CODIGO_CX AND SETOR_PU = :SETOR WHERE CX.PROG_CX = :PROG AND CX.FICHA_CX = :FICHA AND CX.DATA_CANC_CX IS NULL)
group by 1
;;
-- main NextGeneratorValue.ID_PRODUCAO_SETOR_CXUNIT
select gen_id(ID_PRODUCAO_SETOR_CXUNIT, 1) from rdb$database
;;
-- main sqlSubFicha
select * from SUBPROD
where PROG_PR=:PROG
and FICHA_PR=:FICHA
and SUBFICHA_PR=:SUBFICHA
;;
-- main sqlCodCxUnSubProd
SELECT C.*, PR.GRUPO_PR,
(SELECT DESC_PP FROM PADRONIZ_PRODUTO P WHERE C.PADRON_CX = P.PADRONIZ_PP AND C.PROD_CX = P.PROD_PP) AS DESC_PA,
(SELECT M.COD_TA FROM TABELA M WHERE M.DESC_TA = C.MARCA_CX AND M.NUM_TA = '70') AS COD_MARCA,
(select PV.TIPO_PV from PEDVENDA PV where PV.NUM_PV = C.PEDIDO_CX) TIPO_PEDIDO
FROM CODCXUNIT C
LEFT JOIN PRODUTO PR ON PR.COD_PR = C.PROD_CX
WHERE PROG_CX = :PROG AND FICHA_CX = :FICHA AND TAM_CX = :TAM AND DTBAIXA_CX IS NULL
;;
-- main sqlAtuSubFicha
update SUBPROD
set DTBAIXA_PR = cast('now' as timestamp)
where PROG_PR=:PROG
and FICHA_PR=:FICHA
and SUBFICHA_PR=:SUBFICHA
;;
-- main sqlAtuSubFicha.OneClaimPerSubTicket
update SUBPROD
set DTBAIXA_PR = cast('now' as timestamp)
where PROG_PR=:PROG
and FICHA_PR=:FICHA
and SUBFICHA_PR=:SUBFICHA
and DTBAIXA_PR is null
;;
-- main sqlPrimeiraCxFicha
select min(CODIGO_CX) as CODIGO_CX from CODCXUNIT
where PROG_CX = :PROG and FICHA_CX = :FICHA
;;
-- main sqlBloqItemPed.StockMovement
select PEDIDO_IT from ITENSPV
where PEDIDO_IT = :PED
and ITEM_IT = :ITEM
for update with lock
;;
-- main sqlAtuEst
insert into PROD_ESTOQUE_MOV (CODIGO_MV, DOCTO_MV, DATA_MV, ENTSAI_MV, PROD_MV, PADRON_MV, MARCA_MV, FILIAL_MV, NUMERACAO_MV, GRADE_MV, QTDE_MV, OBS_MV, USUARIO_MV, QTPEND_MV, PEDIDO_ENTRADA_MV, ITEMPED_ENTRADA_MV, TIPOMOV_MV, MULTIPLICADOR_MV, CODIGO_CXUNIT_MV, PROG_MV, FICHA_MV)
                      values (0, :DOCTO, :DATA, 'E', :PROD, :PADRON, :MARCA, :FILIAL, :TAMANHO, '**', 1, :OBS, :USUARIO, 1, :PEDIDO, :ITEM_PEDIDO, :TIPOMOV, 1, :COD_CXUNIT, :PROG, :FICHA);
;;
-- main sqlAtuPend
select count(*) as QTDE
from CODCXUNIT C
where C.PEDIDO_CX = :PED and
      C.ITEM_CX = :ITEM and
      C.DTBAIXA_CX is null  
;;
-- main sqlAtuPed
update itenspv i set i.sit_it = :sit
where i.pedido_it = :ped and i.item_it = :item
;;
-- main GRAVALOG
execute procedure GRAVALOG(:CHAVE, :ARQ, :CAMPO, :USUARIO, :DATA, :VRANT, :VRATU)
;;
-- main TdmProducaoValidacao.sqlSetor
select COD_SE, NOME_SE, SETORANT_SE, RETORNO_EXTERNO_SE, 
ORDEM_SE, SETOR_AGRUP_SE, SETOR_SAIDA_EXTERNO_SE,
TIPO_ATU_PRODUCAO_SETOR_SE, TIPO_OPERACAO_SE
from SETOR
where SEQPROD_SE='S'
order by ORDEM_SE
;;
-- main ValidarProdutoSetor
SELECT PS.CODIGO_SETOR_PS FROM PRODUTO_SETOR PS
INNER JOIN SETOR SE ON SE.COD_SE = PS.CODIGO_SETOR_PS
WHERE PS.CODIGO_PRODUTO_PS = :PROD AND SE.SEQPROD_SE = 'S'
;;
-- main ValidarSetorAnterior.SetoresProduto
SELECT PS.CODIGO_SETOR_PS FROM PRODUTO_SETOR PS
INNER JOIN SETOR SE ON SE.COD_SE = PS.CODIGO_SETOR_PS
WHERE PS.CODIGO_PRODUTO_PS = :PRODUTO AND SE.SEQPROD_SE = 'S'
;;
-- main sqlSetorAgrupamento
SELECT COD_SE
FROM SETOR S
WHERE S.SETOR_AGRUP_SE = :SETOR
;;
-- main ValidarSetorAnterior.SetoresAgrupamento
SELECT cod_se FROM SETOR S WHERE S.setor_agrup_se = :SETOR_AGRUP
;;
-- main ValidarFicha.FichaBaixadaNoSetor
select PROG_PS,FICHA_PS,SUBFICHA_PS,SETOR_PS
From Producao_Setor
Where PROG_PS =:PROG
And FICHA_PS = :FICHA
And ((SUBFICHA_PS = :SUBFICHA) or (SUBFICHA_PS = '0000'))
And SETOR_PS =  :SETOR
;;
-- main sqlProg
select PROG_PR, FICHA_PR, QTDE_PR
from PRODUCAO
where PROG_PR=:PROG
and FICHA_PR=:FICHA
;;
-- main sqlFichaProdSetor
select count(*) as NumReg from producao_setor ps where ps.prog_ps = :prog
and ps.ficha_ps = :ficha and ps.setor_ps = :setor and ps.subficha_ps = '0000'
;;
-- main sqlSubFichaProdSetor
select count(*) as NumReg from producao_setor ps where ps.prog_ps = :prog
and ps.ficha_ps = :ficha and ps.setor_ps = :setor and ps.subficha_ps <> '0000'
;;
-- main sqlSubP
select PROG_PR, FICHA_PR, SUBFICHA_PR, sum(QTDE_PR) as QTDE
from SUBPROD
where PROG_PR=:PROG
and FICHA_PR=:FICHA
and SUBFICHA_PR=:SUBFICHA
group by PROG_PR, FICHA_PR, SUBFICHA_PR
;;
-- main sqlCodCxCol
select CX.PEDIDO_CX, CX.ITEMPED_CX, IT.PROG_IT, IT.FICHA_IT, CX.TALAO_CX, QTDEPAR_CX, IT.PROD_IT, IT.PADRON_IT,
       CX.DATA_CANC_CX,
       (select DESC_PR
        from PRODUTO PR
        where PR.COD_PR = IT.PROD_IT) as DESC_PROD,
       (select PA.DESC_PP
        from PADRONIZ_PRODUTO PA
        where PA.PROD_PP = IT.PROD_IT and
              PA.PADRONIZ_PP = IT.PADRON_IT) as DESC_PAD
from CODCXCOLET CX
inner join ITENSPV IT on IT.PEDIDO_IT = CX.PEDIDO_CX and IT.ITEM_IT = CX.ITEMPED_CX
where CODIGO_CX = :COD   
;;
-- main sqlSubProd.SubFichaPrincipal
select * from PRODUCAO_SETOR p where p.PROG_PS = :PROG
and p.FICHA_PS = :FICHA and p.SUBFICHA_PS = :SUBFICHA and p.SETOR_PS = :SETOR
and ((p.ID_SUBPROD_PS = 0) or (p.ID_SUBPROD_PS is null)) and ((p.CODCXCOLET_PS = 0) or (p.CODCXCOLET_PS is null)) and ((p.SUBPROD_MPRIMA_ID_PS = 0) or (p.SUBPROD_MPRIMA_ID_PS is null))
;;
-- main sqlSubProd.CxColet
select * from PRODUCAO_SETOR p where p.PROG_PS = :PROG
and p.FICHA_PS = :FICHA and p.SUBFICHA_PS = :SUBFICHA and p.SETOR_PS = :SETOR
and ((p.CODCXCOLET_PS = :CODCXCOLET) or (p.ID_SUBPROD_PS > 0) or (p.SUBPROD_MPRIMA_ID_PS > 0))
;;
-- main TdmProducaoValidacao.sqlProdSetor.SubFicha
select PS.*, SE.SETOR_AGRUP_SE as SETOR_AGRUP
from PRODUCAO_SETOR PS
left join SETOR SE on SE.COD_SE = PS.SETOR_PS
where PROG_PS=:PROG
and FICHA_PS=:FICHA
and SUBFICHA_PS=:SUBFICHA
;;
-- main TdmProducaoValidacao.sqlProdSetor.Ficha
select PS.*, SE.SETOR_AGRUP_SE as SETOR_AGRUP
from PRODUCAO_SETOR PS
left join SETOR SE on SE.COD_SE = PS.SETOR_PS
where PROG_PS=:PROG
and FICHA_PS=:FICHA
;;
-- main ValidarCxUnit.CxUnitBaixadaNoSetor
select PROG_PU,FICHA_PU,SUBFICHA_PU,SETOR_PU,CODCXUNIT_PU
From Producao_Setor_CxUnit
Where CODCXUNIT_PU =:CODCXUNIT
And SETOR_PU =  :SETOR
;;
-- main TdmProducaoValidacao.sqlProdSetorUnit
select PU.*, SE.SETOR_AGRUP_SE as SETOR_AGRUP
from PRODUCAO_SETOR_CXUNIT PU
left join SETOR SE on SE.COD_SE = PU.SETOR_PU
where CODCXUNIT_PU=:CXUNIT
;;
-- main TdmEstoqueProducao.sqlParam
SELECT VALOR_PA FROM PARAM WHERE GRUPO_PA = :GRUPO AND PARAM_PA = :PARAM
;;
-- main sqlProdEst.PedidoItemTam
select IT.PEDIDO_IT, IT.ITEM_IT, IT.PROD_IT, IT.PADRON_IT, IT.PROG_IT, IT.FICHA_IT, G.TAM_IT, G.QTPED_IT,
       (SELECT PEDVENDA.FILIAL_PV FROM PEDVENDA WHERE PEDVENDA.NUM_PV = IT.PEDIDO_IT) FILIAL_PEDVENDA,
       (SELECT PROGRAMACAO.FILIAL_PO FROM PROGRAMACAO WHERE PROGRAMACAO.NUM_PO = IT.PROG_IT) FILIAL_PROGRAMACAO,
       ( select sum(EMP.QTDE_EMP)
         from PRODUCAO_ESTOQUE PE
         inner join ENTRADAMP EMP on EMP.FILIAL_EMP = PE.FILIAL_EMP_ES
                                 and EMP.FORNEC_EMP = PE.FORNEC_EMP_ES
                                 and EMP.SERIE_EMP = PE.SERIE_EMP_ES
                                 and EMP.DOCTO_EMP = PE.DOCTO_EMP_ES
                                 and EMP.ITEM_EMP = PE.ITEM_EMP_ES
                                 and EMP.ORDEM_EMP = PE.ORDEM_EMP_ES
                                 and EMP.TAMANHO_EMP = G.TAM_IT
         where PE.PEDIDO_ES = IT.PEDIDO_IT and PE.ITEM_PED_ES = IT.ITEM_IT
               and PE.STATUS_ES = 'A' 
       ) as QTDE_JA_LANCADA
from ITENSPV IT
inner join ITENSPVGRADE G on G.PEDIDO_IT = IT.PEDIDO_IT and G.ITEM_IT = IT.ITEM_IT
where IT.PEDIDO_IT = :PED
and IT.ITEM_IT = :ITEM
and TAM_IT = :TAM
;;
-- main sqlProdEst.PedidoItem
select IT.PEDIDO_IT, IT.ITEM_IT, IT.PROD_IT, IT.PADRON_IT, IT.PROG_IT, IT.FICHA_IT, G.TAM_IT, G.QTPED_IT,
       (SELECT PEDVENDA.FILIAL_PV FROM PEDVENDA WHERE PEDVENDA.NUM_PV = IT.PEDIDO_IT) FILIAL_PEDVENDA,
       (SELECT PROGRAMACAO.FILIAL_PO FROM PROGRAMACAO WHERE PROGRAMACAO.NUM_PO = IT.PROG_IT) FILIAL_PROGRAMACAO,
       ( select sum(EMP.QTDE_EMP)
         from PRODUCAO_ESTOQUE PE
         inner join ENTRADAMP EMP on EMP.FILIAL_EMP = PE.FILIAL_EMP_ES
                                 and EMP.FORNEC_EMP = PE.FORNEC_EMP_ES
                                 and EMP.SERIE_EMP = PE.SERIE_EMP_ES
                                 and EMP.DOCTO_EMP = PE.DOCTO_EMP_ES
                                 and EMP.ITEM_EMP = PE.ITEM_EMP_ES
                                 and EMP.ORDEM_EMP = PE.ORDEM_EMP_ES
                                 and EMP.TAMANHO_EMP = G.TAM_IT
         where PE.PEDIDO_ES = IT.PEDIDO_IT and PE.ITEM_PED_ES = IT.ITEM_IT
               and PE.STATUS_ES = 'A' 
       ) as QTDE_JA_LANCADA
from ITENSPV IT
inner join ITENSPVGRADE G on G.PEDIDO_IT = IT.PEDIDO_IT and G.ITEM_IT = IT.ITEM_IT
where IT.PEDIDO_IT = :PED
and IT.ITEM_IT = :ITEM
;;
-- main sqlProdEst.ProgFicha
select IT.PEDIDO_IT, IT.ITEM_IT, IT.PROD_IT, IT.PADRON_IT, IT.PROG_IT, IT.FICHA_IT, G.TAM_IT, G.QTPED_IT,
       (SELECT PEDVENDA.FILIAL_PV FROM PEDVENDA WHERE PEDVENDA.NUM_PV = IT.PEDIDO_IT) FILIAL_PEDVENDA,
       (SELECT PROGRAMACAO.FILIAL_PO FROM PROGRAMACAO WHERE PROGRAMACAO.NUM_PO = IT.PROG_IT) FILIAL_PROGRAMACAO,
       ( select sum(EMP.QTDE_EMP)
         from PRODUCAO_ESTOQUE PE
         inner join ENTRADAMP EMP on EMP.FILIAL_EMP = PE.FILIAL_EMP_ES
                                 and EMP.FORNEC_EMP = PE.FORNEC_EMP_ES
                                 and EMP.SERIE_EMP = PE.SERIE_EMP_ES
                                 and EMP.DOCTO_EMP = PE.DOCTO_EMP_ES
                                 and EMP.ITEM_EMP = PE.ITEM_EMP_ES
                                 and EMP.ORDEM_EMP = PE.ORDEM_EMP_ES
                                 and EMP.TAMANHO_EMP = G.TAM_IT
         where PE.PEDIDO_ES = IT.PEDIDO_IT and PE.ITEM_PED_ES = IT.ITEM_IT
               and PE.STATUS_ES = 'A' 
       ) as QTDE_JA_LANCADA
from ITENSPV IT
inner join ITENSPVGRADE G on G.PEDIDO_IT = IT.PEDIDO_IT and G.ITEM_IT = IT.ITEM_IT
where IT.PROG_IT = :PROG
and IT.FICHA_IT = :FICHA
and IT.SIT_IT in ('P','L') and ((IT.STATUS_IT = '') or (IT.STATUS_IT is null))
;;
-- main sqlCodCxUnit
select PROD_CX, PADRON_CX, TAM_CX, PROG_CX, FICHA_CX, PEDIDO_CX, ITEM_CX
from CODCXUNIT
where CODIGO_CX = :COD
;;
-- main sqlCodCxColet
select PEDIDO_CX, ITEMPED_CX, NUMERACAO_CX, QTPARES_CX
from CODCXCOLET
where CODIGO_CX = :COD
;;
-- main TdmEstoqueProducao.sqlSubFicha
select QTDE_PR, TAMA_PR from SUBPROD
where PROG_PR = :PROG
and FICHA_PR = :FICHA
and SUBFICHA_PR = :SUBFICHA
;;
-- main NovoId.ID_PRODUCAO_ESTOQUE
select gen_id(ID_PRODUCAO_ESTOQUE, 1) from rdb$database
;;
-- main NovoId.ID_PROD_ITEM_ESTOQUE
select gen_id(ID_PROD_ITEM_ESTOQUE, 1) from rdb$database
;;
-- main sqlProdEstCanc.tlCxUnit
select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
where CODIGO_CXUNIT_ES = :COD_CX_UNIT
and STATUS_ES='A' 
;;
-- main sqlProdEstCanc.tlCxColet
select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
where CODIGO_CXCOLET_ES = :COD_CX_COLET
and STATUS_ES='A' 
;;
-- main sqlProdEstCanc.tlFicha
select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
where PROG_ES = :PROG
and FICHA_ES = :FICHA
and STATUS_ES='A' 
;;
-- main sqlProdEstCanc.tlSubficha
select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
where PROG_ES = :PROG
and FICHA_ES = :FICHA
and SUBFICHA_ES = :SUBFICHA
and STATUS_ES='A' 
;;
-- main sqlProdEstCanc.tlPedidoItem
select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
where PEDIDO_ES = :PED
and ITEM_PED_ES = :ITEM
and ((P.CODIGO_CXCOLET_ES = 0) OR (P.CODIGO_CXCOLET_ES IS NULL))
and ((P.CODIGO_CXUNIT_ES = 0) OR (P.CODIGO_CXUNIT_ES IS NULL))
and ((P.PROG_ES = '') OR (P.PROG_ES IS NULL))
and ((P.FICHA_ES = '') OR (P.FICHA_ES IS NULL))
and ((P.SUBFICHA_ES = '') OR (P.SUBFICHA_ES IS NULL))
and STATUS_ES='A' 
;;
-- main sqlProdEstCanc.tlAvulso
select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
where ID_ES = :ID_PRODUCAO_ESTOQUE
and STATUS_ES='A' 
;;
-- main sqlProdEstCanc.tlMovInterno
select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
where ID_ESTOQUE_MOV_INT_ES = :ID_ESTOQUE_MOV_INT
and STATUS_ES='A' 
;;
-- main sqlProdEstCanc.tlPedidoItemQtde REJECTED
select ID_ES, DATA_CANC_ES, USUARIO_CANC_ES, PROG_ES, FICHA_ES, SUBFICHA_ES, STATUS_ES,
       FILIAL_EMP_ES, FORNEC_EMP_ES, DOCTO_EMP_ES, SERIE_EMP_ES, ITEM_EMP_ES, ORDEM_EMP_ES
from PRODUCAO_ESTOQUE P
and STATUS_ES='A' 
;;
-- main sqlChaveLogEntradaMp
SELECT E.FILIAL_EMP||'|'||E.FORNEC_EMP||'|'||E.DOCTO_EMP||'|'||E.SERIE_EMP||'|'||E.ITEM_EMP||'|'||E.PROD_EMP||'|'||E.PADRON_EMP||'|'||E.TAMANHO_EMP CHAVE_LOG
FROM ENTRADAMP E
WHERE FILIAL_EMP = :FILIAL
AND FORNEC_EMP = :FORNEC
AND DOCTO_EMP = :DOC
AND SERIE_EMP = :SER
AND ITEM_EMP = :ITEM
AND ORDEM_EMP = :ORDEM
;;
-- main sqlEntMpDel
delete from ENTRADAMP
where FILIAL_EMP = :FILIAL
and FORNEC_EMP = :FORNEC
and DOCTO_EMP = :DOC
and SERIE_EMP = :SER
and ITEM_EMP = :ITEM
and ORDEM_EMP = :ORDEM
;;
-- main TdmEstoqueProducao.sqlDataServ
select CURRENT_TIMESTAMP as DATA_ATUAL from RDB$DATABASE
;;
-- main DataServidor
select cast('now' as timestamp) as DATA_SERVIDOR from CONFIG
;;
-- main sqlEntMpAdd
insert into ENTRADAMP (
FILIAL_EMP,
FORNEC_EMP,
DOCTO_EMP,
SERIE_EMP,
ITEM_EMP,
ORDEM_EMP,
DATA_EMP,
TIPO_EMP,
QTDE_EMP,
PROD_EMP,
PADRON_EMP,
TAMANHO_EMP,
MPRIMA_EMP,
COR_EMP,
USUARIO_EMP,
PROG_EMP,
FICHA_EMP,

PRECO_EMP,
PRREAL_EMP,
PRMEDIO_EMP,
DESCTO_EMP,
DESPES_EMP,
ATUEST_EMP,
COMGRADE_EMP,

CST_EMP,
IPI_EMP,
VRIPI_EMP,
ICMS_EMP,
VRICM_EMP,
BASEICM_EMP,
OUTROSICM_EMP,
ISENTOSICM_EMP,
BASEIPI_EMP,
OUTROSIPI_EMP,
ISENTOSIPI_EMP,
GRADE_EMP,
MOV_FISICA_EMP,
ID_ESTOQUE_MOV_INT_EMP,
ID_PROD_ITEM_ESTOQUE_EMP,
REG_SPED_K280_EMP,
REG_SPED_K280_MES_ANO_EMP)
values
(
:FILIAL_EMP,
:FORNEC_EMP,
:DOCTO_EMP,
:SERIE_EMP,
:ITEM_EMP,
:ORDEM_EMP,
:DATA_EMP,
:TIPO_EMP,
:QTDE_EMP,
:PROD_EMP,
:PADRON_EMP,
:TAMANHO_EMP,
0,
'',
:USUARIO_EMP,
:PROG_EMP,
:FICHA_EMP,

0,
0,
0,
0,
0,
'N',
'N',

'',
0,
0,
0,
0,
0,
0,
0,
0,
0,
0,
'',
:MOV_FISICA_EMP,
:ID_ESTOQUE_MOV_INT_EMP,
:ID_PROD_ITEM_ESTOQUE_EMP,
:REG_SPED_K280_EMP,
:REG_SPED_K280_MES_ANO_EMP)
;;
-- main sqlProdEstAdd
insert into PRODUCAO_ESTOQUE (
ID_ES,
DATA_ES,
USUARIO_ES,
PEDIDO_ES,
ITEM_PED_ES,
CODIGO_CXCOLET_ES,
CODIGO_CXUNIT_ES,
PROG_ES ,
FICHA_ES ,
SUBFICHA_ES ,
STATUS_ES ,
FILIAL_EMP_ES ,
FORNEC_EMP_ES,
DOCTO_EMP_ES,
SERIE_EMP_ES,
ITEM_EMP_ES,
ORDEM_EMP_ES,
ID_ESTOQUE_MOV_INT_ES    )

values (
  :ID_PRODUCAO_ESTOQUE,
  :DATA_LANC,
  :USUARIO,
  :PEDIDO,
  :ITEM_PED,
  :CODIGO_CXCOLET,
  :CODIGO_CXUNIT,
  :PROG,
  :FICHA,
  :SUBFICHA ,
  'A',
  :FILIAL_EMP,
  :FORNEC_EMP,
  :DOCTO_EMP,
  :SERIE_EMP,
  :ITEM_EMP ,
  :ORDEM_EMP,
  :ID_ESTOQUE_MOV_INT

)
;;
-- main sqlProdItemEstoque
SELECT ID_PI, DESCRICAO_PI FROM PROD_ITEM_ESTOQUE WHERE CODIGO_PI = :CODIGO
;;
-- main sqlDescProdItemEst
SELECT PR.DESC_PR, PR.DESCNF_PR,
(SELECT PP.DESC_PP FROM PADRONIZ_PRODUTO PP WHERE PP.PROD_PP = :PROD AND PP.PADRONIZ_PP = :PADRON) DESC_PADRON,
(SELECT F.EMISNOTA_FORMA_AGRUP_ITENS_FI FROM FILIAL F WHERE F.COD_FI = :FILIAL) FILIAL_FORMA_AGRUP_ITENS
FROM PRODUTO PR
WHERE PR.COD_PR = :PROD
;;
-- main sqlAddProdItemEstoque
insert into PROD_ITEM_ESTOQUE(ID_PI,PROD_PI,PADRON_PI,TAMANHO_PI,CODIGO_PI,DESCRICAO_PI,DATA_INCLUSAO_PI,STATUS_PI,USUARIO_INCLUSAO_PI)
                                           values (:O_ID_PROD_ITEM_EST,:I_PROD,:I_PADRON,:I_TAMANHO,:V_CODIGO,:V_DESC_PROD_ITEM_EST,cast('now' as timestamp),'A','AUTOMATICO');
;;
-- main sqlCampoChavePrimaria
select idx.RDB$FIELD_NAME NOME_CAMPO
from RDB$RELATION_CONSTRAINTS tc
join RDB$INDEX_SEGMENTS idx on (idx.RDB$INDEX_NAME = tc.RDB$INDEX_NAME)
where tc.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'
and tc.RDB$RELATION_NAME = :NOME_TABELA
order by idx.RDB$FIELD_POSITION
;;
-- main sqlDataServidor
select CURRENT_TIMESTAMP from RDB$DATABASE
;;
-- main sqlTotPar
select ESTEIRA_CX, DTBAIXA_CX, DATA_CANC_CX
from CODCXUNIT
where DTBAIXA_CX>=:DATAI
and DTBAIXA_CX<=:DATAF
;;
-- main sqlTotParUnit
select C.DTSAIDA_PU, U.DATA_CANC_CX
from PRODUCAO_SETOR_CXUNIT C
left join CODCXUNIT U on U.CODIGO_CX = C.CODCXUNIT_PU
where C.DTSAIDA_PU >= :DATAI and
      C.DTSAIDA_PU <= :DATAF and
      C.SETOR_PU = :SETOR
;;
-- main sqlUltEnt
select P.PROG_PS, P.FICHA_PS, P.QTDE_PS, I.PROD_IT, I.PADRON_IT, PR.DESC_PR, PP.DESC_PP, I.MARCA_IT, I.OBSPROD_IT,
       (select T.DESC_TA
        from TABELA T
        where T.NUM_TA = '70' and
              T.COD_TA = I.MARCA_IT) MARCA_DESC
from PRODUCAO_SETOR P
inner join ITENSPV I on I.PROG_IT = P.PROG_PS and I.FICHA_IT = P.FICHA_PS
left join PRODUTO PR on PR.COD_PR = I.PROD_IT
left join PADRONIZ_PRODUTO PP on PP.PADRONIZ_PP = I.PADRON_IT and PP.PROD_PP = I.PROD_IT
where  P.PROG_PS = :prog and
      P.FICHA_PS = :ficha
;;
-- catalogue sqlImgProd
SELECT THUMBM_PP, THUMB_PP
FROM PADRONIZ_PRODUTO
WHERE PRODUTO_PP = :PROD
AND PADRONIZ_PP = :PADRON
;;
-- main sqlSetoresConsulta.Filtro
SELECT COD_SE, NOME_SE FROM SETOR S WHERE SEQPROD_SE = 'S'
AND COD_SE IN ('40','30')
AND ( ((SELECT COUNT(*) FROM PRODUTO_SETOR PS INNER JOIN SETOR SE ON SE.COD_SE = PS.CODIGO_SETOR_PS WHERE PS.CODIGO_PRODUTO_PS = :PRODUTO AND SE.SEQPROD_SE = 'S') = 0) OR ((SELECT COUNT(*) FROM PRODUTO_SETOR PS WHERE PS.CODIGO_SETOR_PS = S.COD_SE AND PS.CODIGO_PRODUTO_PS = :PRODUTO) > 0))
ORDER BY ORDEM_SE
;;
-- main sqlSetoresConsulta
SELECT COD_SE, NOME_SE FROM SETOR S WHERE SEQPROD_SE = 'S'
AND ( ((SELECT COUNT(*) FROM PRODUTO_SETOR PS INNER JOIN SETOR SE ON SE.COD_SE = PS.CODIGO_SETOR_PS WHERE PS.CODIGO_PRODUTO_PS = :PRODUTO AND SE.SEQPROD_SE = 'S') = 0) OR ((SELECT COUNT(*) FROM PRODUTO_SETOR PS WHERE PS.CODIGO_SETOR_PS = S.COD_SE AND PS.CODIGO_PRODUTO_PS = :PRODUTO) > 0))
ORDER BY ORDEM_SE
;;
-- access LoadAuthorisedUsers
Select * from USUARIOS U
WHERE (U.grupos_us LIKE :INICIO ESCAPE '\') or (U.grupos_us LIKE :FIM ESCAPE '\') or (U.grupos_us LIKE :MEIO ESCAPE '\') or (U.grupos_us = :GRUPO)
;;
-- main sqlSetoresConsulta.Filtro
SELECT COD_SE, NOME_SE FROM SETOR S WHERE SEQPROD_SE = 'S'
AND COD_SE IN ('10','20','30')
AND ( ((SELECT COUNT(*) FROM PRODUTO_SETOR PS INNER JOIN SETOR SE ON SE.COD_SE = PS.CODIGO_SETOR_PS WHERE PS.CODIGO_PRODUTO_PS = 'P''1' AND SE.SEQPROD_SE = 'S') = 0) OR ((SELECT COUNT(*) FROM PRODUTO_SETOR PS WHERE PS.CODIGO_SETOR_PS = S.COD_SE AND PS.CODIGO_PRODUTO_PS = 'P''1') > 0))
ORDER BY ORDEM_SE
;;
-- access ConfirmarUsuario
Select * from USUARIOS
where NOME_US=:NOME
;;
-- main sqlPesqProdSetorCxUnit
SELECT COUNT(*) QTDE_REG 
FROM PRODUCAO_SETOR_CXUNIT
WHERE CODCXUNIT_PU = :COD_CXUNIT
AND SETOR_PU = :SETOR
;;
-- main sqlExcluirProducaoSetorCxUnit
DELETE FROM PRODUCAO_SETOR_CXUNIT WHERE CODCXUNIT_PU = :COD_CXUNIT AND SETOR_PU = :SETOR
;;
-- main sqlExcluirProducaoSetor
DELETE FROM PRODUCAO_SETOR WHERE CODCXUNIT_PS = :COD_CXUNIT AND SETOR_PS = :SETOR
;;
-- main sqlCancelaCodCxUnit
update CODCXUNIT C
set C.DTBAIXA_CX = null,
    C.ESTEIRA_CX = null
where C.CODIGO_CX = :CODIGO
;;
-- main TdmEstoqueProducao.sqlBloqItemPed
select PEDIDO_IT from ITENSPV
where PEDIDO_IT = :PED
and ITEM_IT = :ITEM
for update with lock
;;
-- main TdmEstoqueProducao.sqlProdEst.PedidoItemTam
select IT.PEDIDO_IT, IT.ITEM_IT, IT.PROD_IT, IT.PADRON_IT, IT.PROG_IT, IT.FICHA_IT, G.TAM_IT, G.QTPED_IT,
       (SELECT PEDVENDA.FILIAL_PV FROM PEDVENDA WHERE PEDVENDA.NUM_PV = IT.PEDIDO_IT) FILIAL_PEDVENDA,
       (SELECT PROGRAMACAO.FILIAL_PO FROM PROGRAMACAO WHERE PROGRAMACAO.NUM_PO = IT.PROG_IT) FILIAL_PROGRAMACAO,
       ( select sum(EMP.QTDE_EMP)
         from PRODUCAO_ESTOQUE PE
         inner join ENTRADAMP EMP on EMP.FILIAL_EMP = PE.FILIAL_EMP_ES
                                 and EMP.FORNEC_EMP = PE.FORNEC_EMP_ES
                                 and EMP.SERIE_EMP = PE.SERIE_EMP_ES
                                 and EMP.DOCTO_EMP = PE.DOCTO_EMP_ES
                                 and EMP.ITEM_EMP = PE.ITEM_EMP_ES
                                 and EMP.ORDEM_EMP = PE.ORDEM_EMP_ES
                                 and ((EMP.TAMANHO_EMP = G.TAM_IT) or (G.TAM_IT = '*' and coalesce(EMP.TAMANHO_EMP, '') = ''))
         where PE.PEDIDO_ES = IT.PEDIDO_IT and PE.ITEM_PED_ES = IT.ITEM_IT
               and PE.STATUS_ES = 'A' 
       ) as QTDE_JA_LANCADA
from ITENSPV IT
inner join ITENSPVGRADE G on G.PEDIDO_IT = IT.PEDIDO_IT and G.ITEM_IT = IT.ITEM_IT
where IT.PEDIDO_IT = :PED
and IT.ITEM_IT = :ITEM
and TAM_IT = :TAM
;;
-- main TdmEstoqueProducao.sqlProdEst.PedidoItem
select IT.PEDIDO_IT, IT.ITEM_IT, IT.PROD_IT, IT.PADRON_IT, IT.PROG_IT, IT.FICHA_IT, G.TAM_IT, G.QTPED_IT,
       (SELECT PEDVENDA.FILIAL_PV FROM PEDVENDA WHERE PEDVENDA.NUM_PV = IT.PEDIDO_IT) FILIAL_PEDVENDA,
       (SELECT PROGRAMACAO.FILIAL_PO FROM PROGRAMACAO WHERE PROGRAMACAO.NUM_PO = IT.PROG_IT) FILIAL_PROGRAMACAO,
       ( select sum(EMP.QTDE_EMP)
         from PRODUCAO_ESTOQUE PE
         inner join ENTRADAMP EMP on EMP.FILIAL_EMP = PE.FILIAL_EMP_ES
                                 and EMP.FORNEC_EMP = PE.FORNEC_EMP_ES
                                 and EMP.SERIE_EMP = PE.SERIE_EMP_ES
                                 and EMP.DOCTO_EMP = PE.DOCTO_EMP_ES
                                 and EMP.ITEM_EMP = PE.ITEM_EMP_ES
                                 and EMP.ORDEM_EMP = PE.ORDEM_EMP_ES
                                 and ((EMP.TAMANHO_EMP = G.TAM_IT) or (G.TAM_IT = '*' and coalesce(EMP.TAMANHO_EMP, '') = ''))
         where PE.PEDIDO_ES = IT.PEDIDO_IT and PE.ITEM_PED_ES = IT.ITEM_IT
               and PE.STATUS_ES = 'A' 
       ) as QTDE_JA_LANCADA
from ITENSPV IT
inner join ITENSPVGRADE G on G.PEDIDO_IT = IT.PEDIDO_IT and G.ITEM_IT = IT.ITEM_IT
where IT.PEDIDO_IT = :PED
and IT.ITEM_IT = :ITEM
;;
-- main TdmEstoqueProducao.sqlProdEst.ProgFicha
select IT.PEDIDO_IT, IT.ITEM_IT, IT.PROD_IT, IT.PADRON_IT, IT.PROG_IT, IT.FICHA_IT, G.TAM_IT, G.QTPED_IT,
       (SELECT PEDVENDA.FILIAL_PV FROM PEDVENDA WHERE PEDVENDA.NUM_PV = IT.PEDIDO_IT) FILIAL_PEDVENDA,
       (SELECT PROGRAMACAO.FILIAL_PO FROM PROGRAMACAO WHERE PROGRAMACAO.NUM_PO = IT.PROG_IT) FILIAL_PROGRAMACAO,
       ( select sum(EMP.QTDE_EMP)
         from PRODUCAO_ESTOQUE PE
         inner join ENTRADAMP EMP on EMP.FILIAL_EMP = PE.FILIAL_EMP_ES
                                 and EMP.FORNEC_EMP = PE.FORNEC_EMP_ES
                                 and EMP.SERIE_EMP = PE.SERIE_EMP_ES
                                 and EMP.DOCTO_EMP = PE.DOCTO_EMP_ES
                                 and EMP.ITEM_EMP = PE.ITEM_EMP_ES
                                 and EMP.ORDEM_EMP = PE.ORDEM_EMP_ES
                                 and ((EMP.TAMANHO_EMP = G.TAM_IT) or (G.TAM_IT = '*' and coalesce(EMP.TAMANHO_EMP, '') = ''))
         where PE.PEDIDO_ES = IT.PEDIDO_IT and PE.ITEM_PED_ES = IT.ITEM_IT
               and PE.STATUS_ES = 'A' 
       ) as QTDE_JA_LANCADA
from ITENSPV IT
inner join ITENSPVGRADE G on G.PEDIDO_IT = IT.PEDIDO_IT and G.ITEM_IT = IT.ITEM_IT
where IT.PROG_IT = :PROG
and IT.FICHA_IT = :FICHA
and IT.SIT_IT in ('P','L') and ((IT.STATUS_IT = '') or (IT.STATUS_IT is null))
;;
-- main TdmEstoqueProducao.dspProdEstCanc.update
update "PRODUCAO_ESTOQUE" set "DATA_CANC_ES" = :S1, "USUARIO_CANC_ES" = :S2, "STATUS_ES" = :S6 where "ID_ES" = :W0 and "DATA_CANC_ES" is null and "USUARIO_CANC_ES" is null and "PROG_ES" = :W3 and "FICHA_ES" = :W4 and "SUBFICHA_ES" = :W5 and "STATUS_ES" = :W6 and "FILIAL_EMP_ES" = :W7 and "FORNEC_EMP_ES" = :W8 and "DOCTO_EMP_ES" = :W9 and "SERIE_EMP_ES" = :W10 and "ITEM_EMP_ES" = :W11 and "ORDEM_EMP_ES" = :W12
;;
