#pragma once

#include <string>

// The statements of TdmEstoqueProducao, as the server receives them; the module binds the
// parameters named after each one.
namespace vek::stock::sql {

extern const char* const kGeradorProdEst;  // the generator of PRODUCAO_ESTOQUE.ID_ES
extern const char* const kGeradorProdItem; // the generator of PROD_ITEM_ESTOQUE.ID_PI

extern const char* const kParam;  // sqlParam: VALOR_PA of one PARAM row, GRUPO and PARAM
extern const char* const kParams; // sqlParams: the switches of group PRODUCAO_ESTOQUE

extern const char* const kCodCxUnit;  // sqlCodCxUnit: a unit box's product, ticket and order line, COD
extern const char* const kCodCxColet; // sqlCodCxColet: a collective box's order item and grid, COD
extern const char* const kSubFicha;   // sqlSubFicha: a sub-ticket's quantities by size, PROG, FICHA and SUBFICHA

extern const char* const kCabecalhoProdEst;    // sqlProdEst without its selection: order lines and what they booked
extern const char* const kLinhasPedidoItemTam; // its selection of one size of an order item, PED, ITEM and TAM
extern const char* const kLinhasPedidoItem;    // its selection of an order item, PED and ITEM
extern const char* const kLinhasProgFicha;     // its selection of a ticket's open lines, PROG and FICHA
extern const char* const kBloqItemPed;         // sqlBloqItemPed: locks an order item's row, PED and ITEM
extern const char* const kBloqLinhasCxUnit;    // sqlBloqLinhasCxUnit: a unit box's first look and its item's lock, COD

/// sqlLinhaEntradaAdd: a booking's stock entry and production link written under one new id.
std::string linhaEntradaAdd();

extern const char* const kProdItemEstoque;    // sqlProdItemEstoque: a stock item by its code, CODIGO
extern const char* const kDescProdItemEst;    // sqlDescProdItemEst: what a new stock item's description is made of
extern const char* const kAddProdItemEstoque; // sqlAddProdItemEstoque: a new stock item

extern const char* const kCabecalhoProdEstCanc; // sqlProdEstCanc without its selection: production links
extern const char* const kCancCxUnit;           // its selection of a unit box's links, COD_CX_UNIT
extern const char* const kCancCxColet;          // of a collective box's, COD_CX_COLET
extern const char* const kCancFicha;            // of a ticket's, PROG and FICHA
extern const char* const kCancSubficha;         // of a sub-ticket's, PROG, FICHA and SUBFICHA
extern const char* const kCancPedidoItem;       // of an order item's booked without box or ticket, PED and ITEM
extern const char* const kCancAvulso;           // of one link by its id, ID_PRODUCAO_ESTOQUE
extern const char* const kCancMovInterno;       // of an internal movement's, ID_ESTOQUE_MOV_INT
extern const char* const kCancAtivas;           // after the selection: only links not cancelled yet
extern const char* const kChaveLogEntradaMp;    // sqlChaveLogEntradaMp: a stock entry's audit key, FILIAL to ORDEM
extern const char* const kEntMpDel;             // sqlEntMpDel: deletes a stock entry, FILIAL to ORDEM
extern const char* const kDataServ;             // sqlDataServ: the server's clock

} // namespace vek::stock::sql
