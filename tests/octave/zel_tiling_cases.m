## [cases, calls, whole] = zel_tiling_cases (n)
## Every map the six functions make, one row of CASES each: the map's name,
## a handle that returns it, the function whose inputs it takes, the
## positions of the inputs that hold a value per pixel and the halo a tile
## needs (the curvature map reads each pixel's eight neighbours). With N,
## also the inputs of the calls ZELgetFeatureMaps makes on the demo's n x n
## image and the whole image's maps by name.
function [cases, calls, whole] = zel_tiling_cases (n)
  cases = {"blob",        @ZELgetBlobMap,           "ZELgetBlobMap",           [1, 2, 3, 8, 10], 0;
           "ridge",       @ZELgetRidgeMap,          "ZELgetRidgeMap",          [1, 2, 3, 8, 10], 0;
           "edge",        @ZELgetEdgeMap,           "ZELgetEdgeMap",           [1, 2, 3, 4],     0;
           "height",      @ZELgetHeightAndWidthMap, "ZELgetHeightAndWidthMap", [1, 2, 3],        0;
           "width",       @(varargin) nthargout (2, @ZELgetHeightAndWidthMap, varargin{:}), ...
                                                    "ZELgetHeightAndWidthMap", [1, 2, 3],        0;
           "orientation", @ZELgetOrientationMap,    "ZELgetOrientationMap",    [1, 2, 3],        0;
           "curvature",   @ZELgetCurvatureMap,      "ZELgetCurvatureMap",      1,                1};
  if (nargin < 1)
    return;
  endif
  [~, calls] = ZELgetFeatureMaps (ZELdemoImage (n));
  whole = struct ();
  for k = 1:rows (cases)
    [name, kernel, call] = cases{k, 1:3};
    whole.(name) = kernel (calls.(call){:});
  endfor
endfunction
