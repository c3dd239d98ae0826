# Quick start: `make run` and `make test`. Both install what is missing from Debian's packages first.
BUILD ?= build
PAQUETES := cmake g++ make pkg-config qt6-base-dev qt6-svg-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n qt6-qpa-plugins \
	libqt6svg6 libsqlitecpp-dev libsqlite3-dev mdbtools-dev libxlsxwriter-dev libzint-dev libpq-dev \
	fonts-liberation2 fonts-dejavu-core poppler-utils postgresql zbar-tools unzip locales python3-openpyxl \
	liborcus-dev libfreexl-dev python3-odf python3-xlwt \
	dpkg-dev file man-db desktop-file-utils appstream lintian
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
NUCLEOS := $(shell nproc 2>/dev/null || echo 2)
DATOS ?= datos
# The checked builds live in folders of their own, so they never mix with the normal one.
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
FUZZ_SEGUNDOS ?= 60
OBJETIVOS_FUZZ := fuzz_ubicacion fuzz_valores fuzz_apertura fuzz_csv fuzz_importar
PAQUETES_FUZZ := clang-14 libclang-rt-14-dev

.PHONY: run test test-asan fuzz bench paquetes paquetes-fuzz compilar install paquete clean

paquetes-fuzz: PAQUETES := $(PAQUETES) $(PAQUETES_FUZZ)
paquetes-fuzz: paquetes

# Installs the missing Debian packages, then the Spanish locale the program and its tests run under
# (es_ES.UTF-8, generated once into the system's locale archive when it is not there yet).
paquetes:
	@faltan=$$(for p in $(PAQUETES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$faltan" ]; then \
		echo "Instalando paquetes que faltan:" $$faltan; \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get update -qq && \
		$(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$faltan; \
	fi
	@locale -a 2>/dev/null | grep -qix 'es_ES\.utf-\?8' || { \
		echo "Generando la configuración regional es_ES.UTF-8"; \
		$(SUDO) localedef -i es_ES -f UTF-8 es_ES.UTF-8; }

compilar: paquetes
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(NUCLEOS)

# Starts the program in $(DATOS)/, whose location file names the example inventory (made on the first run).
run: compilar
	mkdir -p $(DATOS)
	test -f $(DATOS)/inventario.db || $(BUILD)/ejemplo/crear_ejemplo ejemplo/inventario.txt $(DATOS)/inventario.db
	test -f $(DATOS)/talvirenca.cfg || printf '%s\r\n' "$$(cd $(DATOS) && pwd)/inventario.db" > $(DATOS)/talvirenca.cfg
	cd $(DATOS) && "$(CURDIR)/$(BUILD)/src/talvirenca"

test: compilar
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(NUCLEOS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer; any error they find fails its test.
test-asan: paquetes
	cmake -S . -B $(BUILD_ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANEAR=ON
	cmake --build $(BUILD_ASAN) -j$(NUCLEOS)
	cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j$(NUCLEOS)

# Each fuzz target runs FUZZ_SEGUNDOS seconds under libFuzzer, starting from its committed corpus; what it finds
# is kept in $(BUILD_FUZZ)/corpus, and a crashing input is written to $(BUILD_FUZZ)/ as crash-*. The Access reader
# libmdb crashes on some damaged files within seconds, so fuzz_importar runs its inputs in child processes and goes
# on after a crash (and its crashes do not stop the make): look at the crash-* inputs it writes, replaying one with
# $(BUILD_FUZZ)/tests/fuzz/fuzz_importar <file>; a crash outside libmdb is ours to fix.
fuzz: paquetes-fuzz
	cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(BUILD_FUZZ) -j$(NUCLEOS) --target $(OBJETIVOS_FUZZ)
	for o in $(OBJETIVOS_FUZZ); do \
		mkdir -p $(BUILD_FUZZ)/corpus/$$o && \
		if [ $$o = fuzz_importar ]; then hijos="-fork=1 -ignore_crashes=1"; else hijos=; fi && \
		$(BUILD_FUZZ)/tests/fuzz/$$o $$hijos -max_total_time=$(FUZZ_SEGUNDOS) -artifact_prefix=$(BUILD_FUZZ)/$$o- \
			$(BUILD_FUZZ)/corpus/$$o tests/fuzz/corpus/$$o || [ -n "$$hijos" ] || exit 1; \
	done

bench: compilar
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/talvirenca_bench

# The Debian package talvirenca_<version>-1_amd64.deb, in this folder.
paquete: compilar
	cd $(BUILD) && cpack -G DEB
	cp $(BUILD)/talvirenca_*_amd64.deb .

install: compilar
	$(SUDO) cmake --install $(BUILD)

clean:
	rm -rf $(BUILD)
