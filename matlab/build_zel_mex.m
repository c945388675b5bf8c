function build_zel_mex()
%BUILD_ZEL_MEX  Builds the ZEL MEX files for MATLAB into this folder.
%   build_zel_mex compiles every kernel source in ../kernels with mex, with
%   the compiler flags that keep the numerics exact (no fused multiply-add,
%   no fast-math), and writes NAME.mexa64 beside its help file NAME.m. Then
%   addpath this folder. Kernels whose source is missing are skipped.
%
%   Needs MATLAB R2018a or later, whose mex takes -R2017b: the interface
%   with 64-bit sizes and separate complex data that the kernels use. mex
%   supplies the interface version glue itself, so only the kernel source
%   and the math library are passed.

here = fileparts(mfilename('fullpath'));
root = fileparts(here);
kernels = {'ZELgetBlobMap', 'ZELgetRidgeMap', 'ZELgetEdgeMap', ...
           'ZELgetHeightAndWidthMap', 'ZELgetOrientationMap', 'ZELgetCurvatureMap', ...
           'ZELgetResponseStack', 'ZELgetIndexMaps'};
exact = 'CXXFLAGS=$CXXFLAGS -ffp-contract=off -fno-fast-math -Wno-psabi';
optimise = 'CXXOPTIMFLAGS=-O2 -DNDEBUG';
for k = 1:numel(kernels)
    source = fullfile(root, 'kernels', [kernels{k} '.cpp']);
    if ~exist(source, 'file')
        fprintf('skipping %s: %s is missing\n', kernels{k}, source);
        continue
    end
    mex('-R2017b', exact, optimise, ['-I' fullfile(root, 'common')], source, '-lm', '-outdir', here);
end
end
