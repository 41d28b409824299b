#!/usr/bin/env bash
# Makes a main database that has grown for a year: the reference schema and the demo rows, then
# DAYS working days (Mon-Fri, ending yesterday) of a factory of 10 conveyors and 8 sectors, then
# today's boxes to scan (scripts/year-db-today.sql).
#   year-db.sh FILE [--days N]   (default 261, the working days of a year: about 3 million boxes)
#   year-db.sh FILE --today      only makes today's boxes anew on an existing FILE
# Uses the built vek-mkdb (build/src/tools, or VEK_MKDB, or the installed one) and isql-fb, both on
# the embedded engine: FILE is a local path.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$HERE")
SCHEMA=${VEK_SCHEMA_DIR:-$REPO/schema}

usage() {
  echo "usage: $0 FILE [--days N] | $0 FILE --today" >&2
  exit 2
}

[ $# -ge 1 ] || usage
FILE=$1
shift
DAYS=261
TODAY_ONLY=0
while [ $# -gt 0 ]; do
  case "$1" in
  --days)
    [ $# -ge 2 ] && [[ "$2" =~ ^[0-9]+$ ]] || usage
    DAYS=$2
    shift 2
    ;;
  --today)
    TODAY_ONLY=1
    shift
    ;;
  *) usage ;;
  esac
done
case "$FILE" in
/*) ;;
*) FILE=$PWD/$FILE ;;
esac

isql() {
  isql-fb -q -bail -ch WIN1252 -user SYSDBA "$FILE" "$@"
}

if [ "$TODAY_ONLY" = 1 ]; then
  [ -f "$FILE" ] || { echo "$0: $FILE does not exist" >&2; exit 1; }
  isql -i "$HERE/year-db-today.sql"
  exit 0
fi

MKDB=${VEK_MKDB:-}
if [ -z "$MKDB" ]; then
  for m in "$REPO/build/src/tools/vek-mkdb" "$(command -v vek-mkdb || true)"; do
    if [ -n "$m" ] && [ -x "$m" ]; then MKDB=$m; break; fi
  done
fi
[ -n "$MKDB" ] || { echo "$0: no vek-mkdb (build it, or set VEK_MKDB)" >&2; exit 1; }

start=$(date +%s)
mkdir -p "$(dirname "$FILE")"
rm -f "$FILE"
"$MKDB" "$FILE" "$SCHEMA/main.sql" "$SCHEMA/demo.sql"
# Written once and checked at the end: no need to wait for the disk on every page while filling.
gfix -write async -user SYSDBA "$FILE"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The fill needs none of the secondary indexes; each is built once at the end instead of growing
# row by row (the key indexes stay, they cannot be switched off).
indexes() {
  isql <<SQL
SET TERM ^ ;
EXECUTE BLOCK
AS
  DECLARE NAME VARCHAR(63);
BEGIN
  FOR SELECT TRIM(I.RDB\$INDEX_NAME) FROM RDB\$INDICES I
      WHERE COALESCE(I.RDB\$SYSTEM_FLAG, 0) = 0
        AND NOT EXISTS (SELECT 1 FROM RDB\$RELATION_CONSTRAINTS C WHERE C.RDB\$INDEX_NAME = I.RDB\$INDEX_NAME)
      INTO NAME DO
    EXECUTE STATEMENT 'ALTER INDEX ' || NAME || ' $1';
END^
SET TERM ; ^
COMMIT;
SQL
}
indexes INACTIVE
isql -i "$HERE/year-db-fill.sql"

# The working days, oldest first, one transaction each.
{
  n=0
  back=1
  days=()
  while [ ${#days[@]} -lt "$DAYS" ]; do
    d=$(date -d "-$back day" +%F)
    [ "$(date -d "$d" +%u)" -le 5 ] && days+=("$d")
    back=$((back + 1))
  done
  for ((i = ${#days[@]} - 1; i >= 0; i--)); do
    echo "EXECUTE PROCEDURE YEAR_DB_DAY('${days[$i]}', $n);"
    echo "COMMIT;"
    n=$((n + 1))
  done
  echo "DROP PROCEDURE YEAR_DB_DAY;"
  echo "COMMIT;"
} > "$WORK/days.sql"
isql -i "$WORK/days.sql"
filled=$(date +%s)

indexes ACTIVE
cat > "$WORK/statistics.sql" <<'SQL'
SET TERM ^ ;
EXECUTE BLOCK
AS
  DECLARE NAME VARCHAR(63);
BEGIN
  FOR SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 INTO NAME DO
    EXECUTE STATEMENT 'SET STATISTICS INDEX ' || NAME;
END^
SET TERM ; ^
COMMIT;
SQL
isql -i "$WORK/statistics.sql"
isql -i "$HERE/year-db-today.sql"
gfix -write sync -user SYSDBA "$FILE"
end=$(date +%s)

echo "year database $FILE: $DAYS working days in $((end - start)) s (fill $((filled - start)) s, indexes $((end - filled)) s)"
isql <<'SQL' | grep -v '^ *$'
SET HEADING OFF;
SELECT 'CODCXUNIT              ' || COUNT(*) FROM CODCXUNIT;
SELECT 'PRODUCAO_SETOR_CXUNIT  ' || COUNT(*) FROM PRODUCAO_SETOR_CXUNIT;
SELECT 'PRODUCAO_SETOR         ' || COUNT(*) FROM PRODUCAO_SETOR;
SELECT 'PRODUCAO (tickets)     ' || COUNT(*) FROM PRODUCAO;
SELECT 'SUBPROD                ' || COUNT(*) FROM SUBPROD;
SELECT 'ITENSPV                ' || COUNT(*) FROM ITENSPV;
SELECT 'PRODUCAO_ESTOQUE       ' || COUNT(*) FROM PRODUCAO_ESTOQUE;
SELECT 'LOG                    ' || COUNT(*) FROM LOG;
SQL
ls -l "$FILE" | awk '{printf "size %.0f MB\n", $5 / 1048576}'
