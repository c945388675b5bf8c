function build_zel_mex()
%BUILD_ZEL_MEX  Builds the ZEL MEX files for MATLAB into this folder.
%   build_zel_mex compiles every kernel of ../kernels/kernels.txt (the list
%   the CMake build reads) from its source in ../kernels with mex, with the
%   flags of the CMake Release build: optimisation -O3 and the flags that
%   keep the numerics exact (no fused multiply-add, no fast-math), and
%   writes NAME.mexa64 beside its help file NAME.m. Then addpath this
%   folder. Kernels whose source is missing are skipped. A kernel that
%   computes in vector lanes is compiled once more per lane width into an
%   object linked beside its gateway: two lanes everywhere, and on 64-bit
%   Linux also four (AVX2) and eight (AVX-512), which the kernel runs when
%   the processor has them.
%
%   The kernels are written for GCC and clang (MinGW-w64 on Windows): with
%   another compiler selected by mex -setup C++ it stops with an error.
%
%   Needs MATLAB R2018a or later, whose mex takes -R2017b: the interface
%   with 64-bit sizes and separate complex data that the kernels use. mex
%   supplies the interface version glue itself, so only the kernel source
%   and the math library are passed.

here = fileparts(mfilename('fullpath'));
root = fileparts(here);
list = fileread(fullfile(root, 'kernels', 'kernels.txt'));
kernels = regexp(list, '^[A-Za-z]\w*', 'match', 'lineanchors');

compiler = mex.getCompilerConfigurations('C++', 'Selected');
if isempty(compiler)
    error('build_zel_mex:noCompiler', 'No C++ compiler is selected: run mex -setup C++ first.');
end
maker = compiler(1).Manufacturer;
gcc = strcmpi(maker, 'GNU') || ~isempty(strfind(lower(compiler(1).ShortName), 'mingw'));
clang = strcmpi(maker, 'Apple') || ~isempty(strfind(lower(maker), 'clang'));
if ~gcc && ~clang
    error('build_zel_mex:compiler', ...
          'The kernels need GCC or clang (MinGW-w64 on Windows); mex uses %s. Select another with mex -setup C++.', ...
          compiler(1).Name);
end
exact = 'CXXFLAGS=$CXXFLAGS -ffp-contract=off -fno-fast-math -fexceptions -fasynchronous-unwind-tables -fno-rtti';
if gcc
    % GCC's note on how 64-byte vectors are passed, about functions that
    % never cross a file's boundary.
    exact = [exact ' -Wno-psabi'];
end
optimise = 'CXXOPTIMFLAGS=-O3 -DNDEBUG';
include = ['-I' fullfile(root, 'common')];
widths = [2 4 8];
laneFlags = {'', ' -mavx2', ' -mavx512f'};
if ~strcmp(computer('arch'), 'glnxa64')
    widths = 2;
end
objectExtension = '.o';
if ispc
    objectExtension = '.obj';
end
for k = 1:numel(kernels)
    source = fullfile(root, 'kernels', [kernels{k} '.cpp']);
    if ~exist(source, 'file')
        fprintf('skipping %s: %s is missing\n', kernels{k}, source);
        continue
    end
    % A kernel computes in lanes when its gateway picks a lane width.
    objects = {};
    if ~isempty(strfind(fileread(source), 'compute_with_widest_lanes'))
        objects = cell(1, numel(widths));
        for w = 1:numel(widths)
            folder = fullfile(tempdir, sprintf('zel_lanes%d', widths(w)));
            if ~exist(folder, 'dir')
                mkdir(folder);
            end
            mex('-R2017b', '-c', [exact laneFlags{w}], optimise, include, ...
                sprintf('-DZEL_LANE_WIDTH=%d', widths(w)), source, '-outdir', folder);
            objects{w} = fullfile(folder, [kernels{k} objectExtension]);
        end
    end
    mex('-R2017b', exact, optimise, include, source, objects{:}, '-lm', '-outdir', here);
end
end
